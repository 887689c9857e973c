/* The yardstick of the conversion benchmark: a weight list turned into Map_Mass records the
 * plain C way, with strtod and fprintf. It reads no expressions, keeps no table and writes no
 * report: one pass, line by line, records in the same columns as the tool's.
 *
 * Usage: plain_convert WEIGHT_LIST OUTPUT
 */
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: plain_convert WEIGHT_LIST OUTPUT\n");
    return 2;
  }
  FILE* in = fopen(argv[1], "r");
  FILE* out = fopen(argv[2], "w");
  if (in == NULL || out == NULL) {
    perror("plain_convert");
    return 2;
  }
  char line[4096];
  long kept = 0;
  while (fgets(line, sizeof line, in) != NULL) {
    if (line[0] == '\'') continue; /* comment line */
    char* p = line;
    double v[4];
    int n = 0;
    for (; n < 4; ++n) {
      while (*p == ' ' || *p == '\t' || *p == ',') ++p;
      if (*p == '!') break; /* remark */
      char* end = NULL;
      v[n] = strtod(p, &end);
      if (end == p) break;
      p = end;
    }
    if (n < 4) continue; /* blank, remark or too few numbers */
    fprintf(out, " Map_Mass  %4d%12.3f%12.3f%12.3f%13.4E\r\n", 1, v[1], v[2], v[3], 1000.0 * v[0]);
    ++kept;
  }
  fprintf(out, "#\r\n'  --------------- E O F ----------------\r\n");
  if (fclose(out) != 0) {
    perror("plain_convert");
    return 2;
  }
  fclose(in);
  fprintf(stderr, "%ld records\n", kept);
  return 0;
}
