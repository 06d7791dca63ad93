// From the command to the written file, in headless Chromium with the
// extension: every corpus page served from 127.0.0.1, then the toolbar button
// clicked and the time taken until the text file stands in the download
// folder. Requests to other hosts are refused, so that nothing but the page
// itself is loaded; a page whose scripts leave for another address (an error
// page then) is counted apart.
//   node bench/web_save.mjs DIR
import { readdirSync } from 'node:fs';
import path from 'node:path';

import { launchChromium, savedFiles, servePages, sleep } from '../web/tests/browsers.mjs';

const [dir] = process.argv.slice(2);
const pages = readdirSync(dir).filter((name) => name.endsWith('.html'));
const server = await servePages(Object.fromEntries(pages.map((name) => [`/${name}`, path.join(dir, name)])));
const session = await launchChromium({ headless: true });
const times = [];
const failed = [];
try {
  await session.setSettings({ askWhereToSave: false, folder: 'Brevanto', analysis: 'modern', openAfterSaving: false });
  const page = await session.open(`${server.origin}/`);
  await page.setRequestInterception(true);
  page.on('request', (request) => {
    if (request.url().startsWith(server.origin) || request.url().startsWith('data:')) request.continue();
    else request.abort();
  });
  for (const name of pages) {
    session.clearDownloads();
    await page.goto(`${server.origin}/${name}`, { waitUntil: 'domcontentloaded' });
    const notices = await session.notificationIds();
    const start = performance.now();
    await session.clickButton();
    for (let polls = 0; savedFiles(session.downloads).length === 0; ++polls) {
      if (performance.now() - start > 30000) throw new Error(`${name}: no file after 30 s`);
      // A failure is said in a notification.
      if (polls % 50 === 49 && (await session.hasNewNotification(notices))) break;
      await sleep(1);
    }
    if (savedFiles(session.downloads).length === 0) failed.push(`${name} (now at ${page.url()})`);
    else times.push(performance.now() - start);
  }
} finally {
  await session.close();
  await server.close();
}
times.sort((a, b) => a - b);
const at = (q) => times[Math.min(times.length - 1, Math.floor(q * times.length))].toFixed(0);
console.log(`command to written file, ${times.length} corpus pages in headless Chromium: ` +
  `median ${at(0.5)} ms, 90th percentile ${at(0.9)} ms, slowest ${at(1)} ms`);
if (failed.length > 0) console.log(`not saved: ${failed.join(', ')}`);
