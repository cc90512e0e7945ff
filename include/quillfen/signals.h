/*
 * signals.h - reading signal files through the engine, so that a host can
 * show a file's header and its values without a parser of its own.
 *
 * A signal is opened by its path, read a run of records at a time as plain
 * numbers (16-bit fractional words as w / 32768, complex records as a real
 * and an imaginary part), and closed.  A file the engine refuses is
 * reported through stdEmitMsg as any operation's input would be.
 */
#ifndef QUILLFEN_SIGNALS_H
#define QUILLFEN_SIGNALS_H

#include "quillfen/quillfen.h"

#ifdef __cplusplus
extern "C" {
#endif

/* What a signal file holds. */
enum QfSignalKind {
    QF_SIGNAL_TIME = 0,        /* samples in time (INTEGER16, REAL32) */
    QF_SIGNAL_FRAMES = 1,      /* frame spectra (CINT32RECT(W), CREAL128RECT(W)) */
    QF_SIGNAL_CHANNELS = 2,    /* a multi-channel recording (REALTIMEINT16) */
    QF_SIGNAL_COEFFICIENTS = 3 /* linear-prediction coefficients (LPCCoeffREAL8) */
};

/* The header of a signal file, as the engine read it. */
typedef struct QfSignalInfo {
    char remark[128];
    char typeName[32];        /* the record type as the header names it ("REAL32") */
    char typeDescription[32]; /* as users are shown it ("IEEE 32 bit float") */
    int32_t recordType;       /* the record type number */
    int32_t kind;             /* QfSignalKind */
    int32_t recordCount;      /* records present: the header's count, cut to the data */
    int32_t valuesPerRecord;  /* 1, or 2 for complex records (real, then imaginary) */
    char format;              /* 'a' text, 'b' binary */
    char reserved[7];
    double samplingRate;    /* Hz */
    double signalFrequency; /* Hz; 0 when the signal has none */
    /* frames: points per frame, frame interval, window; coefficients:
     * order, analysis frame size and interval; channels: their number and
     * the device code */
    int32_t frameSize;
    int32_t frameInterval;
    int32_t window; /* window number, -1 when the name is not in the table */
    char windowName[32];
    int32_t lpcOrder;
    int32_t channels;
    int32_t deviceCode;
} QfSignalInfo;

typedef struct QfSignal QfSignal;

/* Opens a signal file and fills info; null when the engine refuses it (the
 * reason was sent with stdEmitMsg). */
QF_EXPORT QfSignal* qfSignalOpen(const char* path, QfSignalInfo* info);
/* Reads records first ... first + count - 1 into values (count times
 * valuesPerRecord doubles).  Returns the records read, fewer at the end of
 * the signal, or -1 when the file could not be read (reported). */
QF_EXPORT int32_t qfSignalValues(QfSignal* signal, int32_t first, int32_t count, double* values);
QF_EXPORT void qfSignalClose(QfSignal* signal);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* QUILLFEN_SIGNALS_H */
