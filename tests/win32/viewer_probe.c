/* Plays the program associated with text files: records the command line
 * it was started with and its working folder in the file named by
 * BREVANTO_VIEWER_LOG, as two lines, then ends. */
#include <stdio.h>
#include <windows.h>

int main(void) {
  char path[MAX_PATH];
  char folder[MAX_PATH] = "";
  if (!GetEnvironmentVariableA("BREVANTO_VIEWER_LOG", path, MAX_PATH)) return 1;
  GetCurrentDirectoryA(MAX_PATH, folder);
  FILE* f = fopen(path, "wb");
  if (!f) return 1;
  fprintf(f, "%s\n%s\n", GetCommandLineA(), folder);
  fclose(f);
  return 0;
}
