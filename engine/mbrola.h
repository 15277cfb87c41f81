/* The diphone engine's public interface: 23 entry points with C linkage.
 *
 * A client loads a database, writes phoneme lines, flushes, and reads back
 * samples. Lines are "name duration [position% f0Hz]..." with durations in
 * milliseconds; ';' starts a comment, '_' is silence, and a line holding
 * only '#' flushes. Text may arrive in pieces: a line is taken once its end
 * has been written.
 *
 * One engine instance per process; the calls are not reentrant but may be
 * made from any one thread at a time. */
#ifndef QUORIL_MBROLA_H
#define QUORIL_MBROLA_H

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define MBR_API __attribute__((visibility("default")))
#else
#define MBR_API
#endif

/* Sample formats of readtype_MBR. */
enum MbrAudioType { MBR_LIN16 = 0, MBR_LIN8 = 1, MBR_ULAW = 2, MBR_ALAW = 3 };

/* One phone as a parser hands it to the engine: a name, a duration in ms
 * and up to MBR_MAX_F0 pitch targets (position in percent, frequency Hz). */
#define MBR_MAX_F0 64
#define MBR_MAX_NAME 16
typedef struct Phone {
    char name[MBR_MAX_NAME];
    float length;
    int nTargets;
    float pos[MBR_MAX_F0];
    float f0[MBR_MAX_F0];
} Phone;

/* A parser the engine pulls phones from instead of its own line parser.
 * next() answers 1 with *phone filled, 0 when no phone is ready, 2 when a
 * flush was asked for, and negative on error. reset() drops pending input;
 * close() releases the parser. */
typedef struct MbrParser {
    void* self;
    int (*next)(void* self, Phone* phone);
    void (*reset)(void* self);
    void (*close)(void* self);
} MbrParser;

/* 0 on success; negative on failure, with lastError_MBR set. */
MBR_API int init_MBR(char* db);
/* As init_MBR; rename holds pairs "old new ...", clone pairs "new existing". */
MBR_API int init_rename_MBR(char* db, char* rename, char* clone);
/* Takes phoneme-line text; answers 0, or negative on error. */
MBR_API int write_MBR(char* text);
/* Makes everything written so far readable; answers 0, or negative. */
MBR_API int flush_MBR(void);
/* Up to wanted 16-bit samples; 0 when nothing is ready, negative on error. */
MBR_API int read_MBR(short* buf, int wanted);
/* Up to wanted samples in the format type (MbrAudioType). */
MBR_API int readtype_MBR(void* buf, int wanted, int type);
/* Releases the database and every buffer. */
MBR_API void close_MBR(void);
/* Drops pending input and output; 0, or negative. */
MBR_API int reset_MBR(void);
/* The last error's code; 0 when the last call succeeded. */
MBR_API int lastError_MBR(void);
/* The last error's text, cut to size; answers its length. */
MBR_API int lastErrorStr_MBR(char* buf, int size);
/* Non-zero: a missing diphone is replaced by its nearest neighbour. */
MBR_API void setNoError_MBR(int noError);
MBR_API int getNoError_MBR(void);
/* Output sample rate in Hz (the database's own by default). */
MBR_API void setFreq_MBR(int freq);
MBR_API int getFreq_MBR(void);
/* Output gain; samples saturate, never wrap. */
MBR_API void setVolumeRatio_MBR(float ratio);
MBR_API float getVolumeRatio_MBR(void);
MBR_API void getVersion_MBR(char* buf, int size);
/* Line index of the database's description; answers its length, or
 * negative past the last line. */
MBR_API int getDatabaseInfo_MBR(char* buf, int size, int index);
/* Pulls phones from parser instead of the line parser; null restores it. */
MBR_API void setParser_MBR(MbrParser* parser);

MBR_API Phone* init_Phone(char* name, float length);
MBR_API void reset_Phone(Phone* phone);
MBR_API void close_Phone(Phone* phone);
MBR_API void appendf0_Phone(Phone* phone, float pos, float f0);

#ifdef __cplusplus
}
#endif

#endif
