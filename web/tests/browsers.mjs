// Real browsers with the unpacked extension loaded, for the extension's
// tests and its benchmark: Debian's chromium and firefox-esr driven by
// puppeteer-core, a page server on 127.0.0.1, and the X keyboard (xdotool)
// where only real input reaches the browser (shortcuts, Save As dialogs).
// Each browser lives in a folder of its own that holds its profile, its
// downloads, and the HOME, XDG and TMPDIR it is given.
import { execFileSync } from 'node:child_process';
import { cpSync, mkdirSync, readdirSync, readFileSync, rmSync, statSync, writeFileSync } from 'node:fs';
import http from 'node:http';
import path from 'node:path';

import puppeteer from 'puppeteer-core';

import { build, temporaryFolder } from './support.mjs';

export const extensionBuild = path.join(build, 'extension');
const FIREFOX_ID = 'save-main-text@brevanto';
const FIREFOX_UUID = '6f1b2c3d-4e5f-4a6b-8c7d-9e0f1a2b3c4d';
const POLL_MS = 25;

export const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Polls `probe` until it gives something other than undefined.
export async function waitFor(what, probe, timeoutMs = 30000) {
  const deadline = Date.now() + timeoutMs;
  for (;;) {
    const value = await probe();
    if (value !== undefined) return value;
    if (Date.now() > deadline) throw new Error(`timed out waiting for ${what}`);
    await sleep(POLL_MS);
  }
}

// Serves `routes` (URL path to file path) on 127.0.0.1; returns its origin
// and port, and a close function.
export async function servePages(routes) {
  const server = http.createServer((request, response) => {
    const file = routes[new URL(request.url, 'http://127.0.0.1').pathname];
    if (file === undefined) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, { 'content-type': 'text/html; charset=utf-8' });
    response.end(readFileSync(file));
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const { port } = server.address();
  return { origin: `http://127.0.0.1:${port}`, port, close: () => new Promise((r) => server.close(r)) };
}

// Whether a download is still being written: Chromium writes NAME.crdownload,
// Firefox NAME.part beside an empty file that keeps the final name for it.
export function downloadsInProgress(folder) {
  return readdirSync(folder, { recursive: true }).some((name) => /\.(crdownload|part)$/.test(name));
}

// The files a finished download left: browsers write partial files under
// other names first.
export function savedFiles(folder) {
  const isFile = (name) => {
    try {
      return statSync(path.join(folder, name)).isFile();
    } catch {
      return false; // renamed while we looked
    }
  };
  return readdirSync(folder, { recursive: true }).filter((name) => !/(^|\/)\.|\.(crdownload|part)$/.test(name) && isFile(name));
}

function xdotool(...args) {
  return execFileSync('xdotool', args, { encoding: 'utf8' }).trim();
}

function visibleWindows() {
  try {
    return new Set(xdotool('search', '--onlyvisible', '--name', '').split('\n'));
  } catch {
    return new Set(); // xdotool fails when it finds nothing
  }
}

// The folders and environment of one browser run.
function sandbox(prefix) {
  const folder = temporaryFolder(prefix);
  const dirs = Object.fromEntries(
    ['home', 'profile', 'downloads', 'tmp'].map((name) => [name, path.join(folder, name)]),
  );
  for (const dir of Object.values(dirs)) mkdirSync(dir, { recursive: true });
  const env = {
    ...process.env,
    HOME: dirs.home,
    XDG_CONFIG_HOME: path.join(dirs.home, '.config'),
    XDG_CACHE_HOME: path.join(dirs.home, '.cache'),
    XDG_DATA_HOME: path.join(dirs.home, '.local/share'),
    TMPDIR: dirs.tmp,
    // The saved files' names are Unicode: a browser started in the C locale
    // cannot write them, and a machine's locale may be C.
    LC_ALL: 'C.UTF-8',
  };
  return { ...dirs, env };
}

// One browser with the extension. Subclasses say how to reach the
// extension's background and how a person triggers the command.
class Session {
  constructor(browser, dirs) {
    this.browser = browser;
    this.downloads = dirs.downloads;
  }

  // A tab showing `url`, in front.
  async open(url) {
    this.page ??= await this.browser.newPage();
    await this.page.goto(url);
    await this.page.bringToFront();
    return this.page;
  }

  clearDownloads() {
    // A browser may still be tidying up a download it finished: try again.
    for (const name of readdirSync(this.downloads)) rmSync(path.join(this.downloads, name), { recursive: true, maxRetries: 5 });
  }

  // The listener of `kind` ('action', 'menu', 'command'), called with the
  // active tab as the browser calls it; gives the command's outcome.
  callListener(kind) {
    return this.inBackground(
      async (listenerKind) => {
        const [tab] = await browser.tabs.query({ active: true, lastFocusedWindow: true });
        const listeners = globalThis.brevanto;
        if (listenerKind === 'menu') return listeners.onMenuClicked({ menuItemId: 'save-main-text' }, tab);
        if (listenerKind === 'command') return listeners.onCommand('save-main-text', tab);
        return listeners.onActionClicked(tab);
      },
      kind,
    );
  }

  setSettings(settings) {
    return this.inBackground((s) => browser.storage.local.set(s), settings);
  }

  // The notifications shown now. Browsers close old ones by themselves, so a
  // new one is told by its id, not by the count.
  notificationIds() {
    return this.inBackground(async () => Object.keys(await browser.notifications.getAll()));
  }

  // Whether a notification is shown that is not among `before`.
  async hasNewNotification(before) {
    return (await this.notificationIds()).some((id) => !before.includes(id));
  }

  // Sends keys to the browser window, as a person at the keyboard would.
  pressKeys(keys) {
    const window = xdotool('search', '--onlyvisible', '--class', this.windowClass).split('\n')[0];
    xdotool('windowfocus', '--sync', window);
    xdotool('key', '--clearmodifiers', keys);
  }

  // Accepts the Save As dialog that `trigger` opens, with the name it
  // proposes, in the folder it proposes.
  async acceptSaveDialog(trigger) {
    const before = visibleWindows();
    await trigger();
    const dialog = await waitFor('the Save As dialog', () => {
      for (const window of visibleWindows()) {
        if (before.has(window)) continue;
        const { width, height } = this.geometry(window);
        if (width > 300 && height > 200) return window;
      }
      return undefined;
    });
    await sleep(500); // the dialog takes keys once it has drawn itself
    xdotool('windowfocus', '--sync', dialog);
    xdotool('key', '--clearmodifiers', this.dialogAcceptKeys);
  }

  geometry(window) {
    const shape = xdotool('getwindowgeometry', '--shell', window);
    return Object.fromEntries(shape.split('\n').map((line) => line.split('=')).map(([k, v]) => [k.toLowerCase(), +v]));
  }

  // The text of the tab that shows a saved file; the tab is closed. Pages are
  // asked where they are: Firefox's automation does not see extension pages'
  // addresses.
  async shownText() {
    const shown = () =>
      document.location.href.includes('/viewer.html#') && document.title !== 'Brevanto'
        ? document.getElementById('text').textContent
        : null;
    const [page, text] = await waitFor('the tab that shows the saved text', async () => {
      for (const candidate of await this.browser.pages()) {
        const found = await candidate.evaluate(shown).catch(() => null);
        if (found !== null) return [candidate, found];
      }
      return undefined;
    });
    await page.close();
    return text;
  }

  close() {
    return this.browser.close();
  }
}

class ChromiumSession extends Session {
  windowClass = 'chromium';
  dialogAcceptKeys = 'alt+s'; // under Xvfb, Return does not accept Chromium's GTK dialog

  static async launch({ headless = true } = {}) {
    const dirs = sandbox(headless ? 'chromium' : 'chromium-headed');
    mkdirSync(path.join(dirs.profile, 'Default'));
    writeFileSync(
      path.join(dirs.profile, 'Default/Preferences'),
      JSON.stringify({ download: { default_directory: dirs.downloads, prompt_for_download: false } }),
    );
    const args = ['--disable-dev-shm-usage', '--no-first-run'];
    if (process.getuid?.() === 0) args.push('--no-sandbox'); // Chromium refuses root without it
    const browser = await puppeteer.launch({
      executablePath: '/usr/bin/chromium',
      headless,
      pipe: true,
      userDataDir: dirs.profile,
      enableExtensions: [path.join(extensionBuild, 'chromium')],
      args,
      env: dirs.env,
    });
    const session = new ChromiumSession(browser, dirs);
    const target = await browser.waitForTarget((t) => t.type() === 'service_worker' && t.url().endsWith('/background.js'));
    session.worker = await target.worker();
    // The worker can be listed before its module has run.
    await waitFor('the background', async () => (await session.worker.evaluate(() => 'brevanto' in globalThis)) || undefined);
    [session.extension] = (await browser.extensions()).values();
    return session;
  }

  inBackground(fn, ...args) {
    return this.worker.evaluate(fn, ...args);
  }

  // A tab showing the extension's page `name`.
  async openExtensionPage(name) {
    const page = await this.browser.newPage();
    await page.goto(`chrome-extension://${this.extension.id}/${name}`);
    return page;
  }

  // The toolbar button, clicked.
  clickButton() {
    return this.page.triggerExtensionAction(this.extension);
  }

  pressShortcut() {
    this.pressKeys('alt+shift+s');
  }
}

class FirefoxSession extends Session {
  windowClass = 'firefox';
  dialogAcceptKeys = 'Return';

  // Firefox lets no test reach an extension's pages directly. The test's copy
  // of the build lets the test server's pages open the options page, and from
  // there the background; nothing else differs from the build.
  static testCopy(dirs) {
    const copy = path.join(dirs.profile, '..', 'extension');
    cpSync(path.join(extensionBuild, 'firefox'), copy, { recursive: true });
    const manifest = JSON.parse(readFileSync(path.join(copy, 'manifest.json'), 'utf8'));
    manifest.web_accessible_resources = [{ resources: ['options.html'], matches: ['http://127.0.0.1/*'] }];
    writeFileSync(path.join(copy, 'manifest.json'), JSON.stringify(manifest));
    return copy;
  }

  static async launch({ origin }) {
    const dirs = sandbox('firefox');
    const browser = await puppeteer.launch({
      browser: 'firefox',
      executablePath: '/usr/bin/firefox-esr',
      headless: false, // shortcuts and the Save As dialog need real input
      userDataDir: dirs.profile,
      env: dirs.env,
      extraPrefsFirefox: {
        'browser.download.folderList': 2,
        'browser.download.dir': dirs.downloads,
        'browser.download.useDownloadDir': true,
        'extensions.webextensions.uuids': JSON.stringify({ [FIREFOX_ID]: FIREFOX_UUID }),
        // The real Save As dialog, not the automation's stand-in.
        'remote.bidi.dismiss_file_pickers.enabled': false,
        // Notifications in Firefox's own windows: Xvfb has no desktop to show them.
        'alerts.useSystemBackend': false,
        // Extensions may not read the add-on store's pages; localhost stands for it.
        'extensions.webextensions.restrictedDomains': 'localhost',
      },
    });
    const session = new FirefoxSession(browser, dirs);
    await browser.installExtension(FirefoxSession.testCopy(dirs));
    session.control = (await browser.pages())[0] ?? (await browser.newPage());
    await session.control.goto(`${origin}/`);
    await session.control.evaluate((uuid) => {
      location.href = `moz-extension://${uuid}/options.html`;
    }, FIREFOX_UUID);
    await waitFor('the options page', async () => {
      try {
        return (await session.control.evaluate(() => location.protocol)) === 'moz-extension:' || undefined;
      } catch {
        return undefined; // the page is between documents
      }
    });
    return session;
  }

  // The options page has the extension's APIs; the listeners it borrows
  // from the background.
  async inBackground(fn, ...args) {
    await this.control.evaluate(async () => {
      globalThis.brevanto = (await browser.runtime.getBackgroundPage()).brevanto;
    });
    return this.control.evaluate(fn, ...args);
  }

  pressShortcut() {
    this.pressKeys('alt+shift+j');
  }
}

export const launchChromium = (options) => ChromiumSession.launch(options);
export const launchFirefox = (options) => FirefoxSession.launch(options);
