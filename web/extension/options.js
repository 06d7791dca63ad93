// The options page: every choice is stored at once, the folder when it is
// left. A folder that cannot be used is said here and not stored.
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

function store(change) {
  return browser.storage.local.set(change);
}

ask.addEventListener('change', () => {
  folder.disabled = ask.checked;
  return store({ askWhereToSave: ask.checked });
});
// The folder is checked as it is typed, and stored when it is left.
function checkFolder() {
  const why = folderProblem(folder.value.trim());
  problem.textContent = why === '' ? '' : `This folder cannot be used: ${why}.`;
  return why === '';
}
folder.addEventListener('input', checkFolder);
folder.addEventListener('change', () => (checkFolder() ? store({ folder: folder.value.trim() }) : undefined));
open.addEventListener('change', () => store({ openAfterSaving: open.checked }));
for (const radio of analyses) radio.addEventListener('change', () => store({ analysis: radio.value }));

loadSettings().then(show);
