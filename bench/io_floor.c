/* The I/O floor of the conversion benchmark: what the machine needs to read a weight list and
 * write an output file of a given size the way the tool does, with no work in between. It
 * reads the whole list in blocks of 64 KB, writes the given number of bytes in blocks of
 * 64 KB to a temporary file beside the output, syncs it, renames it over the output and
 * syncs the folder, as the tool's durable replacement does.
 *
 * Usage: io_floor WEIGHT_LIST OUTPUT BYTES
 */
#define _GNU_SOURCE
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

enum { kBlock = 1 << 16 };

static int fail(const char* what) {
  perror(what);
  return 2;
}

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: io_floor WEIGHT_LIST OUTPUT BYTES\n");
    return 2;
  }
  const long long bytes = atoll(argv[3]);
  static char block[kBlock];

  const int in = open(argv[1], O_RDONLY);
  if (in < 0) return fail(argv[1]);
  long long read_total = 0;
  for (;;) {
    const ssize_t n = read(in, block, sizeof block);
    if (n < 0) return fail(argv[1]);
    if (n == 0) break;
    read_total += n;
  }
  close(in);

  /* The temporary file beside the output, as the tool makes it. */
  const size_t length = strlen(argv[2]);
  char* temp = malloc(length + 16);
  if (temp == NULL) return fail("io_floor");
  snprintf(temp, length + 16, "%s.floorXXXXXX", argv[2]);
  const int out = mkstemp(temp);
  if (out < 0) return fail(temp);
  memset(block, ' ', sizeof block);
  for (long long done = 0; done < bytes;) {
    const size_t want = bytes - done < kBlock ? (size_t)(bytes - done) : kBlock;
    const ssize_t n = write(out, block, want);
    if (n <= 0) return fail(temp);
    done += n;
  }
  if (fsync(out) != 0 || close(out) != 0) return fail(temp);
  if (rename(temp, argv[2]) != 0) return fail(argv[2]);

  /* The folder, so that the new name is durable. */
  char* folder = strdup(argv[2]);
  char* slash = folder != NULL ? strrchr(folder, '/') : NULL;
  const char* dir = slash == NULL ? "." : (slash == folder ? "/" : (*slash = '\0', folder));
  const int d = open(dir, O_RDONLY | O_DIRECTORY);
  if (d >= 0) {
    fsync(d);
    close(d);
  }
  free(folder);
  free(temp);
  fprintf(stderr, "%lld bytes read, %lld written\n", read_total, bytes);
  return 0;
}
