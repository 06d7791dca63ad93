// The Node package against brevanto-extract: the same text file for the same
// body markup under both analyses, and the same file name for the same title.
import assert from 'node:assert/strict';
import { mkdirSync, readdirSync, readFileSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';

import { extract, fileName } from '../node/brevanto.mjs';
import { corpus, extractWithCli, hasCorpus, temporaryFolder } from './support.mjs';

const analyses = ['modern', 'classic'];

// The body element of a saved page, as the engine's benchmark takes it.
function bodyOf(page) {
  const lower = page.toString('latin1').toLowerCase();
  const start = lower.indexOf('<body');
  const end = lower.lastIndexOf('</body>');
  return start < 0 || end < start ? page : page.subarray(start, end + 7);
}

test('every corpus body gives the text brevanto-extract --markup gives', { skip: !hasCorpus && `no corpus at ${corpus}` }, async () => {
  const folder = temporaryFolder('node-corpus');
  const pages = readdirSync(corpus).filter((name) => name.endsWith('.html'));
  assert.ok(pages.length > 0, `no pages in ${corpus}`);
  const differing = [];
  for (const name of pages) {
    const body = bodyOf(readFileSync(path.join(corpus, name)));
    const markupFile = path.join(folder, name);
    writeFileSync(markupFile, body);
    const url = `http://127.0.0.1/${name}`;
    const title = path.basename(name, '.html');
    for (const analysis of analyses) {
      const page = await extract(body, { url, title, analysis });
      const flags = analysis === 'classic' ? ['--classic'] : [];
      const expected = extractWithCli(['--markup', ...flags, `--url=${url}`, `--title=${title}`, '-o', '-', markupFile]);
      if (!Buffer.from(page.bytes).equals(expected)) differing.push(`${analysis} ${name}`);
    }
  }
  assert.deepEqual(differing, []);
});

// Title, the stem of the page's address, and why the row is here.
const names = [
  ['Notes 1.2: summary', 'notes', 'unsafe characters become "_"'],
  ['Café – Überblick', 'cafe', 'non-ASCII titles keep their characters'],
  ['.hidden/../x', 'dots', 'no hidden name, no folder'],
  ['...', 'fallback-page', 'a title without a usable name gives way to the address'],
  ['ö'.repeat(200), 'long', 'cut on a character boundary to 255 bytes'],
];

test('file names are made as brevanto-extract makes them', async () => {
  const folder = temporaryFolder('node-names');
  for (const [title, stem, why] of names) {
    const input = path.join(folder, `${stem}.html`);
    writeFileSync(input, '<body><p>Some words to save.</p></body>');
    const out = path.join(folder, stem);
    mkdirSync(out);
    const written = extractWithCli(['--markup', `--title=${title}`, '-d', out, input]).toString().trim();
    assert.equal(await fileName(title, `http://127.0.0.1/pages/${stem}.html`), path.basename(written), why);
  }
});
