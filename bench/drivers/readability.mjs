// The browser reader mode's library over every page in one process, on the
// DOM named by the first argument (jsdom or linkedom): a pass that writes each
// page's text, then timed rounds until the budget is spent.
//   node readability.mjs jsdom|linkedom OUTDIR BUDGET_SECONDS LIST
import fs from 'node:fs';
import path from 'node:path';
import { createRequire } from 'node:module';

const require = createRequire(process.env.BREVANTO_PEERS + '/package.json');
const { Readability } = require('@mozilla/readability');
const [dom, outDir, budgetArg, listing] = process.argv.slice(2);
const budget = Number(budgetArg);

let parse;
if (dom === 'jsdom') {
  const { JSDOM, VirtualConsole } = require('jsdom');
  const quiet = new VirtualConsole();
  parse = (html, url) => new JSDOM(html, { url, virtualConsole: quiet }).window.document;
} else {
  const { parseHTML } = require('linkedom');
  parse = (html) => parseHTML(html).document;
}

function extract(html, url) {
  const article = new Readability(parse(html, url)).parse();
  return article && article.textContent ? article.textContent : '';
}

const pages = fs.readFileSync(listing, 'utf8').split('\n').filter(Boolean).map((line) => {
  const [file, charset, url] = line.split('\t');
  const raw = fs.readFileSync(file);
  const html = new TextDecoder(charset === 'windows-1252' ? 'windows-1252' : charset).decode(raw);
  return { file, size: raw.length, html, url: url && /^https?:/.test(url) ? url : 'http://example.test/' };
});

for (const page of pages) {
  let text = '';
  try {
    text = extract(page.html, page.url);
  } catch (error) {
    console.error(`${path.basename(page.file)}: ${error.message}`);
  }
  fs.writeFileSync(path.join(outDir, path.basename(page.file, '.html') + '.txt'), text);
}
const total = pages.reduce((sum, page) => sum + page.size, 0);
const start = process.hrtime.bigint();
const cpuStart = process.cpuUsage();
let rounds = 0;
let seconds = 0;
do {
  for (const page of pages) {
    try { extract(page.html, page.url); } catch { /* scored already */ }
  }
  rounds += 1;
  seconds = Number(process.hrtime.bigint() - start) / 1e9;
} while (seconds < budget);
const cpu = process.cpuUsage(cpuStart);
console.log(JSON.stringify({ bytes: total, rounds, seconds, cpu: (cpu.user + cpu.system) / 1e6 }));
