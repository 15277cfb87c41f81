/* The stand-in diphone engine (see fake_mbrola.h). */
#include "fake_mbrola.h"

#include <stdio.h>
#include <string.h>

#include "mbrola.h"

static FakeMbrola fake;

__attribute__((visibility("default"))) FakeMbrola* fake_mbrola_state(void) { return &fake; }

static void note(const char* what, const char* text) {
    fake.calls++;
    int n = snprintf(fake.log + fake.logLength, sizeof fake.log - fake.logLength, "%s%s%s", what,
                     text ? " " : "", text ? text : "");
    if (n > 0 && fake.logLength + (size_t)n < sizeof fake.log) fake.logLength += (size_t)n;
    if (!text || !strchr(text, '\n')) {
        if (fake.logLength + 1 < sizeof fake.log) fake.log[fake.logLength++] = '\n';
        fake.log[fake.logLength] = 0;
    }
}

int init_MBR(char* db) {
    note("init", db);
    fake.pending = fake.produced = 0;
    fake.lastError = fake.initResult < 0 ? fake.initResult : 0;
    return fake.initResult;
}
int init_rename_MBR(char* db, char* rename, char* clone) {
    (void)rename;
    (void)clone;
    return init_MBR(db);
}
int write_MBR(char* text) {
    note("write", text);
    char phone[16] = "";
    sscanf(text, "%15s", phone);
    if (fake.errorPhone[0] && strcmp(phone, fake.errorPhone) == 0) {
        fake.lastError = -2;
        return -2;
    }
    fake.lastError = 0;
    if (strchr(text, '\n')) fake.pending += fake.samplesPerLine;
    return 0;
}
int flush_MBR(void) {
    note("flush", NULL);
    fake.pending += fake.samplesOnFlush;
    return 0;
}
int read_MBR(short* buf, int wanted) {
    fake.calls++;
    if (fake.readFaults > 0) {
        fake.readFaults--;
        fake.lastError = -3;
        return -1;
    }
    long n = fake.pending < wanted ? fake.pending : wanted;
    if (fake.readLimit > 0 && n > fake.readLimit) n = fake.readLimit;
    for (long i = 0; i < n; ++i, ++fake.produced)
        buf[i] = fake.produced < fake.leadingZeros ? 0 : (short)((fake.produced % 100 + 1) * 300);
    fake.pending -= n;
    return (int)n;
}
int readtype_MBR(void* buf, int wanted, int type) {
    (void)type;
    return read_MBR((short*)buf, wanted);
}
void close_MBR(void) { note("close", NULL); }
int reset_MBR(void) {
    note("reset", NULL);
    fake.pending = fake.produced = 0;
    fake.lastError = 0;
    return 0;
}
int lastError_MBR(void) { return fake.lastError; }
int lastErrorStr_MBR(char* buf, int size) {
    if (size > 0) buf[0] = 0;
    return 0;
}
void setNoError_MBR(int noError) { note(noError ? "noerror 1" : "noerror 0", NULL); }
int getNoError_MBR(void) { return 1; }
void setFreq_MBR(int freq) { (void)freq; }
int getFreq_MBR(void) { return 16000; }
void setVolumeRatio_MBR(float ratio) { (void)ratio; }
float getVolumeRatio_MBR(void) { return 1.0f; }
void getVersion_MBR(char* buf, int size) {
    if (size > 0) snprintf(buf, (size_t)size, "fake");
}
int getDatabaseInfo_MBR(char* buf, int size, int index) {
    (void)buf;
    (void)size;
    (void)index;
    return -1;
}
void setParser_MBR(MbrParser* parser) { (void)parser; }
Phone* init_Phone(char* name, float length) {
    (void)name;
    (void)length;
    return NULL;
}
void reset_Phone(Phone* phone) { (void)phone; }
void close_Phone(Phone* phone) { (void)phone; }
#ifndef FAKE_LACKS_ONE
void appendf0_Phone(Phone* phone, float pos, float f0) {
    (void)phone;
    (void)pos;
    (void)f0;
}
#endif
