// Time stamps and counters for the benchmarks in bench/. Only the bench build of the program
// (Nimbra-bench.exe, compiled with NIMBRA_BENCH) records them, in bench/benchlog.cpp; in
// Nimbra.exe every call is empty and compiles to nothing.
#pragma once
#include <windows.h>

enum BenchEvent {
    BENCH_STEP,           // a start-up step ended (what: its name)
    BENCH_PAINT,          // a window painted (value: the window)
    BENCH_PASS,           // a layout pass began
    BENCH_ITEM_MESSAGE,   // a message went to an item window (value: the message)
    BENCH_MOVE,           // an item window was moved
    BENCH_STRIP_UPDATE,   // the icon strip was updated after a change of the icon table
};

#ifdef NIMBRA_BENCH
void BenchNote(BenchEvent event, const char *what, UINT_PTR value = 0);
#else
inline void BenchNote(BenchEvent, const char *, UINT_PTR = 0) {}
#endif
