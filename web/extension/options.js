// The options page: every change is stored at once. A folder that cannot be
// used is said here and not stored.
import './browser-polyfill.js';
import { folderProblem, loadSettings } from './settings.js';

const ask = document.getElementById('askWhereToSave');
const folder = document.getElementById('folder');
const open = document.getElementById('openAfterSaving');
const analyses = [...document.querySelectorAll('input[name=analysis]')];
const problem = document.getElementById('problem');

function show(settings) {
  ask.checked = settings.askWhereToSave;
  folder.value = settings.folder;
  folder.disabled = settings.askWhereToSave;
  open.checked = settings.openAfterSaving;
  for (const radio of analyses) radio.checked = radio.value === settings.analysis;
}

async function store(change) {
  await browser.storage.local.set(change);
  show(await loadSettings());
}

ask.addEventListener('change', () => store({ askWhereToSave: ask.checked }));
folder.addEventListener('input', () => {
  const value = folder.value.trim();
  problem.textContent = folderProblem(value) === '' ? '' : `This folder cannot be used: ${folderProblem(value)}.`;
  if (problem.textContent === '') browser.storage.local.set({ folder: value });
});
open.addEventListener('change', () => store({ openAfterSaving: open.checked }));
for (const radio of analyses) radio.addEventListener('change', () => store({ analysis: radio.value }));

loadSettings().then(show);
