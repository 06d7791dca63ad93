// The user's choices, kept in the extension's local storage. The defaults
// follow the Windows server: a Save As dialog for every file, the modern
// analysis of brevanto-extract.
export const DEFAULTS = Object.freeze({
  askWhereToSave: true, // the browser's Save As dialog, which remembers the last folder
  folder: 'Brevanto', // else straight into this folder inside the download folder
  openAfterSaving: false,
  analysis: 'modern', // or 'classic'
});

export async function loadSettings() {
  return { ...DEFAULTS, ...(await browser.storage.local.get(Object.keys(DEFAULTS))) };
}

// Characters that some system forbids in a folder's name.
const FORBIDDEN = /[<>:"\\|?*\u0000-\u001f\u007f]/;

// Why `folder` cannot be a folder inside the download folder, or '' when it
// can. Empty means the download folder itself; "/" separates subfolders.
export function folderProblem(folder) {
  if (folder === '') return '';
  for (const part of folder.split('/')) {
    if (part === '') return 'a folder name is empty (a "/" at either end, or two together)';
    if (part.startsWith('.')) return `"${part}" starts with a dot`;
    if (part.endsWith(' ')) return `"${part}" ends with a space`;
    if (FORBIDDEN.test(part)) return `"${part}" holds one of < > : " \\ | ? * or a control character`;
  }
  return '';
}
