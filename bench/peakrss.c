/* Runs a command and writes its peak resident set size in KiB to FILE, then
 * exits with the command's status (128 + N for signal N). The benchmark
 * starts every corpus run through it: a child forked straight from the
 * Python script reports the script's own resident size whenever that is
 * larger, since the kernel keeps the peak of the memory a process had
 * before exec.
 *
 * Usage: peakrss FILE COMMAND [ARG]...
 */

#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char **argv) {
  if (argc < 3) {
    fputs("usage: peakrss FILE COMMAND [ARG]...\n", stderr);
    return 2;
  }
  pid_t child = fork();
  if (child < 0) return 125;
  if (child == 0) {
    execvp(argv[2], argv + 2);
    _exit(127);
  }
  int status = 0;
  struct rusage usage;
  if (wait4(child, &status, 0, &usage) != child) return 125;
  FILE *out = fopen(argv[1], "w");
  if (out == NULL || fprintf(out, "%ld\n", usage.ru_maxrss) < 0 || fclose(out) != 0) return 125;
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return WEXITSTATUS(status);
}
