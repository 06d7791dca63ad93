// What the web tests share: where things are, the command line to compare
// with, and temporary folders that a run removes.
import { spawnSync } from 'node:child_process';
import { existsSync, mkdirSync, mkdtempSync, rmSync } from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

export const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
export const build = path.join(root, 'build');
export const cli = process.env.BREVANTO_EXTRACT ?? path.join(build, 'native-release/cli/brevanto-extract');
export const corpus = process.env.BREVANTO_CORPUS ?? path.join(root, '../shared/corpus/pages');
export const hasCorpus = existsSync(corpus);

// brevanto-extract's standard output for `args`; throws with its standard
// error when it fails.
export function extractWithCli(args) {
  const run = spawnSync(cli, args, { maxBuffer: 1 << 30 });
  if (run.error) throw run.error;
  if (run.status !== 0) throw new Error(`brevanto-extract ${args.join(' ')}: ${run.stderr}`);
  return run.stdout;
}

const temporaryFolders = [];
process.on('exit', () => {
  for (const folder of temporaryFolders) rmSync(folder, { recursive: true, force: true });
});

// A new folder under build/web-tests, removed when the process ends.
export function temporaryFolder(prefix) {
  const parent = path.join(build, 'web-tests');
  mkdirSync(parent, { recursive: true });
  const folder = mkdtempSync(path.join(parent, `${prefix}-`));
  temporaryFolders.push(folder);
  return folder;
}
