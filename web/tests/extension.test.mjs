// The extension in Chromium and Firefox: the command given as a person gives
// it (the toolbar button, the keyboard shortcut, the Save As dialog), then
// through the very listeners the menu and the shortcut call, on pages served
// from 127.0.0.1. Every saved file must be, byte for byte and by name, what
// brevanto-extract writes for the same page with the same URL; every failure
// must be said in a notification and leave no file.
import assert from 'node:assert/strict';
import { closeSync, openSync, readFileSync, statSync, writeFileSync, writeSync } from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';

import { serializePage } from '../extension/serializer.js';
import { blockElements } from '../node/brevanto.mjs';
import { downloadsInProgress, launchChromium, launchFirefox, savedFiles, servePages, sleep, waitFor } from './browsers.mjs';
import { extractWithCli, root, temporaryFolder } from './support.mjs';

const pages = path.join(root, 'web/tests/pages');
const work = temporaryFolder('extension');
const BIG_PAGE_BYTES = 20 * 1000 * 1000;
const SAVE_TIMEOUT_MS = 120000;

// 20 MB of an ordinary article: a menu, then sections of paragraphs with
// links and emphasis.
function writeBigPage(file) {
  const out = openSync(file, 'w');
  let size = writeSync(out, '<!DOCTYPE html><html><head><meta charset="utf-8"><title>A very long report</title></head><body>\n');
  size += writeSync(out, '<nav><ul><li><a href="/">Home</a></li><li><a href="/reports">Reports</a></li></ul></nav>\n<main>\n');
  for (let part = 1; size < BIG_PAGE_BYTES; ++part) {
    size += writeSync(
      out,
      `<section><h2>Part ${part}</h2>\n<p>The measurements of part ${part} were taken every morning at the same place, ` +
        `with <a href="/method">the method</a> described before &amp; <em>checked twice</em>.</p>\n` +
        `<p>What they show is a slow rise through the season, with a dip in the middle of it.</p></section>\n`,
    );
  }
  writeSync(out, '</main></body></html>\n');
  closeSync(out);
}

const bigPage = path.join(work, 'big.html');
const routes = {
  '/': path.join(pages, 'empty.html'),
  '/article.html': path.join(pages, 'article.html'),
  '/scripted.html': path.join(pages, 'scripted.html'),
  '/empty.html': path.join(pages, 'empty.html'),
  '/long-title.html': path.join(pages, 'long-title.html'),
  '/markup.html': path.join(pages, 'markup.html'),
  '/big.html': bigPage,
};

// What the command line writes for `file` served at `url`: its name and bytes.
function commandLineText(file, url, analysis) {
  const out = temporaryFolder('cli');
  const flags = analysis === 'classic' ? ['--classic'] : [];
  const written = extractWithCli([...flags, `--url=${url}`, '-d', out, file]).toString().trim();
  return { name: path.basename(written), bytes: readFileSync(written) };
}

// The longest name the extension gives a file: the browsers add to a name
// while they write it.
const LONGEST_NAME = 255 - 32;

// The name a browser saved under: the command line's, or its beginning when
// that is too long.
function assertName(saved, expected) {
  if (Buffer.byteLength(expected) <= LONGEST_NAME) {
    assert.equal(saved, expected);
    return;
  }
  assert.ok(Buffer.byteLength(saved) <= LONGEST_NAME, `${saved} is too long`);
  assert.ok(saved.endsWith('.txt') && expected.startsWith(saved.slice(0, -4)), `${saved} is not ${expected}, shortened`);
}

const settingsOfTests = { askWhereToSave: false, folder: 'Brevanto', analysis: 'modern', openAfterSaving: false };

// Each case: the page, the settings, and the listeners called after a
// person gave the command once; then what must come of each: the text of
// the page as it is (`live`: as its script left it), or an `error`.
const cases = [
  { name: 'the modern analysis, straight into the folder', page: '/article.html', listeners: ['menu', 'command'] },
  { name: 'the classic analysis', page: '/article.html', settings: { analysis: 'classic' }, listeners: ['menu'] },
  { name: 'the live text of a page its script changed', page: '/scripted.html', live: true },
  { name: 'a page with no text', page: '/empty.html', error: /^This page has no text to save\.$/, listeners: ['command'] },
  { name: 'a page of 20 MB', page: '/big.html' },
  // The browsers write a download under a longer name first: the name leaves room for that.
  { name: 'a title too long for a file name', page: '/long-title.html', listeners: ['command'] },
  {
    name: 'a download that fails', // the folder cannot be made: a file has its name
    page: '/article.html',
    settings: { folder: 'blocked' },
    blockFolder: 'blocked',
    error: /^The text could not be saved as "blocked\/.*\.txt": /,
    listeners: ['command'],
  },
  { name: 'opening the file after saving', page: '/article.html', settings: { openAfterSaving: true }, opens: true },
  { name: 'asking where to save', page: '/article.html', settings: { askWhereToSave: true }, dialog: true },
  {
    name: 'a page of the browser itself',
    page: 'chrome://version/',
    only: 'chromium',
    error: /^Brevanto may not read this page: /,
    listeners: ['command'],
  },
  {
    name: 'a page of the add-on store', // Firefox keeps extensions out of it; the test names localhost one
    host: 'localhost',
    page: '/article.html',
    only: 'firefox',
    error: /^Brevanto may not read this page: /,
    listeners: ['command'],
  },
];

function prepareDownloads(session, testCase) {
  session.clearDownloads();
  if (testCase.blockFolder) writeFileSync(path.join(session.downloads, testCase.blockFolder), 'not a folder');
}

// Waits for the one file a save writes and checks it against the command line.
async function checkSaved(session, testCase, expected, folder) {
  const files = await waitFor(
    'the saved file',
    () => {
      if (downloadsInProgress(session.downloads)) return undefined;
      const done = savedFiles(session.downloads).filter((f) => f !== testCase.blockFolder);
      // Renamed while we looked, or still the empty file that keeps its name.
      const hasBytes = (f) => statSync(path.join(session.downloads, f), { throwIfNoEntry: false })?.size > 0;
      const written = done.length > 0 && done.every(hasBytes);
      return written ? done : undefined;
    },
    SAVE_TIMEOUT_MS,
  );
  await sleep(100); // a browser may still be renaming its partial file
  assert.deepEqual(savedFiles(session.downloads), files);
  assert.equal(files.length, 1);
  assert.equal(path.dirname(files[0]), folder === '' ? '.' : folder);
  assertName(path.basename(files[0]), expected.name);
  const saved = readFileSync(path.join(session.downloads, files[0]));
  assert.ok(saved.equals(expected.bytes), `the saved text differs (${saved.length} bytes, expected ${expected.bytes.length})`);
}

async function runCase(session, testCase, port, gesture) {
  const settings = { ...settingsOfTests, ...testCase.settings };
  await session.setSettings(settings);
  prepareDownloads(session, testCase);
  const url = testCase.page.includes(':') ? testCase.page : `http://${testCase.host ?? '127.0.0.1'}:${port}${testCase.page}`;
  const page = await session.open(url);
  let expected = null;
  if (!testCase.error) {
    let file = routes[testCase.page];
    if (testCase.live) {
      file = path.join(temporaryFolder('live'), 'live.html');
      writeFileSync(file, await page.content());
    }
    expected = commandLineText(file, url, settings.analysis);
  }
  const folder = settings.askWhereToSave ? '' : settings.folder;
  const notices = await session.notificationIds();
  if (testCase.dialog) await session.acceptSaveDialog(gesture);
  else await gesture();
  if (expected) {
    await checkSaved(session, testCase, expected, folder);
    if (testCase.opens) assert.equal(await session.shownText(), expected.bytes.toString('utf8'));
  } else {
    await waitFor('a notification', async () => (await session.hasNewNotification(notices)) || undefined);
    assert.deepEqual(savedFiles(session.downloads), testCase.blockFolder ? [testCase.blockFolder] : []);
  }
  for (const kind of testCase.listeners ?? []) {
    prepareDownloads(session, testCase);
    const outcome = await session.callListener(kind);
    if (expected) {
      assert.ok(outcome.saved, `${kind}: ${JSON.stringify(outcome)}`);
      assertName(path.basename(outcome.saved), expected.name);
      await checkSaved(session, testCase, expected, folder);
    } else {
      assert.match(outcome.error ?? '', testCase.error, kind);
      assert.ok(outcome.notification, `${kind}: no notification`);
      assert.deepEqual(savedFiles(session.downloads), testCase.blockFolder ? [testCase.blockFolder] : []);
    }
  }
}

// The markup the extension reads from a page has the tags, at the same
// offsets, that brevanto-extract's loader gives the analysis for the file.
async function checkMarkup(session, port) {
  const differing = [];
  for (const [route, file] of Object.entries(routes)) {
    if (!['/markup.html', '/long-title.html'].includes(route)) continue; // static pages with text
    const page = await session.open(`http://127.0.0.1:${port}${route}`);
    for (const analysis of ['modern', 'classic']) {
      const flags = analysis === 'classic' ? ['--classic'] : [];
      const { markup } = await page.evaluate(serializePage, await blockElements(analysis), analysis === 'classic');
      const read = path.join(temporaryFolder('markup'), 'body.html');
      writeFileSync(read, markup);
      const extension = extractWithCli([...flags, '--markup', '--dump-tags', read]);
      if (!extension.equals(extractWithCli([...flags, '--dump-tags', file]))) differing.push(`${analysis} ${route}`);
    }
  }
  assert.deepEqual(differing, []);
}

let server;
before(async () => {
  assert.ok(process.env.DISPLAY, 'the browser tests need an X display: run them under xvfb-run');
  writeBigPage(bigPage);
  server = await servePages(routes);
});
after(() => server?.close());

describe('Chromium', () => {
  let headless;
  let headed;
  before(async () => {
    headless = await launchChromium({ headless: true });
  });
  after(async () => {
    await headless?.close();
    await headed?.close();
  });
  test('the markup it reads has the tags brevanto-extract reads', () => checkMarkup(headless, server.port));
  for (const testCase of cases.filter((c) => (c.only ?? 'chromium') === 'chromium')) {
    test(testCase.name, async () => {
      // Headless Chromium closes every Save As dialog at once: the dialog is
      // shown by a browser on the display, and the shortcut given there.
      if (testCase.dialog) {
        headed ??= await launchChromium({ headless: false });
        await runCase(headed, testCase, server.port, () => headed.pressShortcut());
      } else {
        await runCase(headless, testCase, server.port, () => headless.clickButton());
      }
    });
  }
});

// The options page as a person uses it: each row is what is done, then what
// is stored and what the page says.
const optionSteps = [
  ['#askWhereToSave', 'click', { askWhereToSave: false }, ''],
  ['#folder', 'Texts/2026', { folder: 'Texts/2026' }, ''],
  ['#folder', 'a:b', { folder: 'Texts/2026' }, /"a:b" holds one of/],
  ['#folder', '../up', { folder: 'Texts/2026' }, /"\.\." starts with a dot/],
  ['#openAfterSaving', 'click', { openAfterSaving: true }, /"\.\." starts with a dot/],
  ['input[value=classic]', 'click', { analysis: 'classic' }, /"\.\." starts with a dot/],
  ['#askWhereToSave', 'click', { askWhereToSave: true }, /"\.\." starts with a dot/],
];

describe('the options page', () => {
  let session;
  before(async () => {
    session = await launchChromium({ headless: true });
  });
  after(() => session?.close());
  test('stores each choice and refuses a folder that cannot be used', async () => {
    const page = await session.openExtensionPage('options.html');
    await page.waitForFunction(() => document.getElementById('askWhereToSave').checked); // the defaults are shown
    for (const [selector, action, stored, said] of optionSteps) {
      if (action === 'click') {
        await page.click(selector);
      } else {
        await page.$eval(selector, (input) => {
          input.value = '';
        });
        await page.type(selector, action);
        await page.keyboard.press('Tab');
      }
      const keys = Object.keys(stored);
      await waitFor(`${selector} ${action} stored`, async () => {
        const now = await session.inBackground((k) => browser.storage.local.get(k), keys);
        return JSON.stringify(now) === JSON.stringify(stored) ? true : undefined;
      }, 5000);
      const problem = await page.$eval('#problem', (p) => p.textContent);
      if (said === '') assert.equal(problem, '', `${selector} ${action}`);
      else assert.match(problem, said, `${selector} ${action}`);
    }
  });
});

describe('Firefox', () => {
  let session;
  before(async () => {
    session = await launchFirefox({ origin: server.origin });
  });
  after(() => session?.close());
  test('the markup it reads has the tags brevanto-extract reads', () => checkMarkup(session, server.port));
  for (const testCase of cases.filter((c) => (c.only ?? 'firefox') === 'firefox')) {
    test(testCase.name, () => runCase(session, testCase, server.port, () => session.pressShortcut()));
  }
});
