#pragma once

// A subcommand's output counts only once it is written: flushes standard output and, when a
// write failed (full disk, closed pipe), says so on stderr as `who` and returns 1 (or `code` if
// that already reports a failure). Otherwise returns `code`.
int FinishOutput(int code, const char* who);

// A reader that goes away (`trimbel info F | head -c1`) makes writes fail with EPIPE instead of
// killing the process, so FinishOutput can report it.
void ReportBrokenPipes();
