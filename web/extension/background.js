// "Save main text": the toolbar button, the page's context menu and the
// keyboard shortcut all end in saveMainText, which reads the live page,
// analyses it with the engine, and saves the text through the downloads API.
// Every failure is said in a notification that names its cause; nothing is
// written when a step fails.
import './browser-polyfill.js';
import createEngine from './engine/brevanto-engine.mjs';
import { Engine } from './engine/engine.mjs';
import { serializePage } from './serializer.js';
import { folderProblem, loadSettings } from './settings.js';

const COMMAND = 'save-main-text';
const MENU_ITEM = 'save-main-text';
const TITLE = 'Save main text';
// Bytes a file name leaves free for what the browsers add while they write a
// download (".crdownload", ".part") and to tell names apart (" (12)").
const NAME_ROOM = 32;
// Firefox names the context menu API "menus"; Chromium "contextMenus".
const menus = browser.menus ?? browser.contextMenus;

// A failure the user is told about, in words that name its cause.
class Failure extends Error {}

let wasmBytes = null; // a promise of the engine's code, read from the extension's own files once

// A fresh engine for every page: its memory, grown to the page's size, goes
// with it.
async function newEngine() {
  wasmBytes ??= fetch(browser.runtime.getURL('engine/brevanto-engine.wasm'))
    .then((response) => response.arrayBuffer())
    .catch((error) => {
      wasmBytes = null; // read again next time
      throw error;
    });
  return Engine.create(createEngine, await wasmBytes);
}

async function readPage(tab, engine, analysis) {
  let results;
  try {
    results = await browser.scripting.executeScript({
      target: { tabId: tab.id },
      func: serializePage,
      args: [engine.blockElements(analysis), analysis === 'classic'],
    });
  } catch (error) {
    throw new Failure(`Brevanto may not read this page: ${error.message}`);
  }
  // The browser's own pages may also answer with nothing at all.
  const page = results?.[0]?.result;
  if (page == null) throw new Failure('Brevanto may not read this page: the browser gave no document.');
  return page;
}

function base64(bytes) {
  if (typeof bytes.toBase64 === 'function') return bytes.toBase64();
  let binary = '';
  for (let i = 0; i < bytes.length; i += 0x8000) binary += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
  return btoa(binary);
}

// An address the downloads API can read the file's bytes from, and what
// gives it back.
function fileAddress(bytes) {
  if (typeof URL.createObjectURL === 'function') {
    const url = URL.createObjectURL(new Blob([bytes], { type: 'text/plain;charset=utf-8' }));
    return { url, release: () => URL.revokeObjectURL(url) };
  }
  // A service worker has no object URLs: the bytes travel in the address.
  return { url: `data:text/plain;charset=utf-8;base64,${base64(bytes)}`, release() {} };
}

// The download's final state: complete, or interrupted with its error.
function finished(id) {
  return new Promise((resolve) => {
    const settle = (item) => {
      if (item === undefined || item.state === 'in_progress') return;
      browser.downloads.onChanged.removeListener(onChanged);
      resolve(item);
    };
    const onChanged = (delta) => {
      if (delta.id !== id || delta.state === undefined) return;
      browser.downloads.search({ id }).then(([item]) => settle(item));
    };
    browser.downloads.onChanged.addListener(onChanged);
    browser.downloads.search({ id }).then(([item]) => settle(item));
  });
}

// What the downloads API's reasons for an interrupted download mean.
const DOWNLOAD_ERRORS = {
  FILE_FAILED: 'the file could not be written',
  FILE_ACCESS_DENIED: 'the browser may not write there',
  FILE_NO_SPACE: 'the disk is full',
  FILE_NAME_TOO_LONG: 'the name is too long for the file system',
  FILE_TOO_LARGE: 'the file is too large for the file system',
  FILE_BLOCKED: 'the browser blocked the file',
  FILE_TRANSIENT_ERROR: 'the system was busy; try again',
};

// The saved file's path, or null when the user closed the Save As dialog.
async function download(bytes, name, settings) {
  let filename = name;
  if (!settings.askWhereToSave && settings.folder !== '') {
    const problem = folderProblem(settings.folder);
    if (problem !== '') throw new Failure(`The folder "${settings.folder}" of the options cannot be used: ${problem}.`);
    filename = `${settings.folder}/${name}`;
  }
  const address = fileAddress(bytes);
  try {
    let id;
    try {
      id = await browser.downloads.download({
        url: address.url,
        filename,
        saveAs: settings.askWhereToSave,
        conflictAction: 'uniquify',
      });
    } catch (error) {
      if (/cancel/i.test(error.message)) return null;
      throw new Failure(`The text could not be saved as "${filename}": ${error.message}`);
    }
    const item = await finished(id);
    if (item.state === 'complete') return { id, path: item.filename };
    if (item.error === 'USER_CANCELED') return null;
    const cause = DOWNLOAD_ERRORS[item.error] ?? 'the download failed';
    throw new Failure(`The text could not be saved as "${filename}": ${cause} (${item.error}).`);
  } finally {
    address.release();
  }
}

// Browsers let an extension start the system's viewer of a downloaded file
// only in direct answer to a click, which the save has long outlived; so the
// saved text opens in a tab of the browser (viewer.html), which asks for it
// here once.
const savedForViewer = new Map(); // by download id: { path, text }, until its tab has it

async function openSaved(saved, text) {
  savedForViewer.set(String(saved.id), { path: saved.path, text });
  try {
    await browser.tabs.create({ url: browser.runtime.getURL(`viewer.html#${saved.id}`) });
  } catch (error) {
    savedForViewer.delete(String(saved.id));
    throw new Failure(`The text was saved as "${saved.path}", but could not be shown: ${error.message}`);
  }
}

function onMessage(message) {
  if (typeof message?.savedText !== 'string') return undefined;
  const file = savedForViewer.get(message.savedText) ?? null;
  savedForViewer.delete(message.savedText);
  return Promise.resolve(file);
}

// Reads, analyses and saves the page of `tab`. Returns what was saved, or
// null when the user cancelled.
async function saveMainText(tab) {
  if (tab?.id === undefined) throw new Failure('There is no page to save.');
  const settings = await loadSettings();
  const engine = await newEngine();
  const page = await readPage(tab, engine, settings.analysis);
  if (!page.hasText) throw new Failure('This page has no text to save.');
  let text;
  try {
    text = engine.extract(page.markup, { url: page.url, title: page.title, analysis: settings.analysis });
  } catch (error) {
    if (error instanceof WebAssembly.RuntimeError) {
      throw new Failure(`This page is too large for Brevanto to analyse: ${error.message}`);
    }
    throw error;
  }
  if (text.markupCut) throw new Failure('This page is too large for Brevanto: it reads only the first 2 GB.');
  if (!text.hasText) throw new Failure('Brevanto found no main text on this page.');
  const saved = await download(text.bytes, engine.fileName(page.title, page.url, { room: NAME_ROOM }), settings);
  if (saved !== null && settings.openAfterSaving) await openSaved(saved, text.file);
  return saved;
}

// Shows `message`; gives the notification's id, or null when the browser
// shows no notifications.
async function notify(message) {
  try {
    return await browser.notifications.create({
      type: 'basic',
      iconUrl: browser.runtime.getURL('icons/brevanto-48.png'),
      title: 'Brevanto',
      message,
    });
  } catch (error) {
    console.error(`Brevanto: ${message} (no notification: ${error.message})`);
    return null;
  }
}

// The one command path. Its outcome is returned for whoever awaits it:
// `saved` (the file's path) or `cancelled`, else the `error` the user was
// shown and the `notification` that showed it.
async function run(tab) {
  try {
    const saved = await saveMainText(tab);
    return saved === null ? { cancelled: true } : { saved: saved.path };
  } catch (error) {
    const message = error instanceof Failure ? error.message : `Brevanto could not save the text: ${error.message}`;
    return { error: message, notification: await notify(message) };
  }
}

function onActionClicked(tab) {
  return run(tab);
}

function onMenuClicked(info, tab) {
  return info.menuItemId === MENU_ITEM ? run(tab) : undefined;
}

async function onCommand(command, tab) {
  if (command !== COMMAND) return undefined;
  // Older browsers do not pass the tab with a command.
  return run(tab ?? (await browser.tabs.query({ active: true, currentWindow: true }))[0]);
}

browser.action.onClicked.addListener(onActionClicked);
menus.onClicked.addListener(onMenuClicked);
browser.commands.onCommand.addListener(onCommand);
browser.runtime.onMessage.addListener(onMessage);
// The menu item outlives the background; an update makes it anew.
browser.runtime.onInstalled.addListener(async () => {
  await menus.removeAll();
  menus.create({ id: MENU_ITEM, title: TITLE, contexts: ['page', 'frame', 'selection', 'link', 'image'] });
});

// Headless browsers fire neither shortcuts nor context menus: the tests call
// these very listeners.
globalThis.brevanto = { onActionClicked, onMenuClicked, onCommand };
