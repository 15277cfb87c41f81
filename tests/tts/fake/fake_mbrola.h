/* A stand-in for the diphone engine, built by the tests as libmbrola.so: it
 * exports the 23 entry points (one build lacks appendf0_Phone), logs every
 * call a driver makes, and answers with numbered samples whose amount the
 * test chooses. fake_mbrola_state() hands the test its controls. */
#ifndef QUORIL_FAKE_MBROLA_H
#define QUORIL_FAKE_MBROLA_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct FakeMbrola {
    /* Controls, set by the test. */
    int initResult;        /* what init_MBR answers */
    int samplesPerLine;    /* readable after each complete line */
    int samplesOnFlush;    /* readable after flush_MBR */
    int readLimit;         /* most samples one read_MBR gives; 0: no limit */
    char errorPhone[16];   /* a line naming this phone is an error */
    int readFaults;        /* this many reads answer -1 with an error */
    int leadingZeros;      /* the first samples after init or reset are 0 */
    /* What happened. */
    char log[1 << 16];     /* one entry per call: "init DB\n", "write LINE" (CR LF kept), "flush\n", ... */
    size_t logLength;
    int calls;
    int lastError;
    long pending;
    long produced;
} FakeMbrola;

/* The fake's one instance; its sample k (counted from 0 after init or reset) is (k % 100 + 1) * 300. */
FakeMbrola* fake_mbrola_state(void);

#ifdef __cplusplus
}
#endif

#endif
