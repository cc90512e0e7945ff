/*
 * operations.h - what the engine says about each of its operations, so
 * that a host can build menus, dialogs or command lines from the engine
 * itself, and the parameter layouts of the command block.
 *
 * Every registered operation has a description: its files (which command
 * block entry, what kind of signal, whether a multi-channel recording is
 * refused), its parameters (name, type, byte offset in the command block,
 * default) and the name of its command in a command-line host.  A host
 * fills the block at the offsets given here and calls RunOp.
 */
#ifndef QUILLFEN_OPERATIONS_H
#define QUILLFEN_OPERATIONS_H

#include "quillfen/quillfen.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------------ */
/* Descriptions                                                        */
/* ------------------------------------------------------------------ */

/* The command block entry a file travels in. */
enum QfEntry {
    QF_ENTRY_IN1 = 0,
    QF_ENTRY_IN2 = 1,
    QF_ENTRY_OUT = 2,
    QF_ENTRY_OUT2 = 3,
    QF_ENTRY_OUT3 = 4
};

/* Kinds of file (a mask: an entry may take several). */
enum QfFileKind {
    QF_FILE_TIME = 1,    /* time signal (.tim) */
    QF_FILE_FRAMES = 2,  /* frame spectra (.fre) */
    QF_FILE_FILTER = 4,  /* filter coefficients (.flt) */
    QF_FILE_LPC = 8,     /* linear-prediction coefficients (.lpc) */
    QF_FILE_SCRIPT = 16, /* script (.scr) */
    QF_FILE_FOREIGN = 32 /* a foreign data format (import and export) */
};

enum QfFileFlags {
    QF_FILE_INPUT = 1,          /* read by the operation */
    QF_FILE_OUTPUT = 2,         /* written by the operation */
    QF_FILE_SINGLE_CHANNEL = 4, /* a multi-channel recording is refused */
    QF_FILE_LIST = 8,           /* one file or more (at most QF_FILE_LIST_MAX): a host's dialog
                                   puts them into the file table it is handed, their count into
                                   the QF_PARAM_COUNT parameter */
    QF_FILE_OPTIONAL = 16       /* some parameters leave it unread (3300 with b = 0) */
};
enum { QF_FILE_LIST_MAX = 32 };

typedef struct QfFileInfo {
    int32_t entry;         /* QfEntry */
    int32_t kinds;         /* QfFileKind mask */
    int32_t flags;         /* QfFileFlags */
    int32_t position;      /* place among a command line's positional words */
    const char* extension; /* ".tim", ".fre", ".tim.fre" (the dialog's filter) */
    const char* label;     /* the dialog's label ("X(t)", "= Output file") */
} QfFileInfo;

enum QfValueType {
    QF_VALUE_INT32 = 1,  /* 32-bit integer */
    QF_VALUE_DOUBLE = 2, /* 64-bit double */
    QF_VALUE_CHAR = 3,   /* one character */
    QF_VALUE_NOISE = 4   /* the generators' noise (QfGeneratorParams, below) */
};

enum QfParamFlags {
    QF_PARAM_REQUIRED = 1,   /* a command line must give it */
    QF_PARAM_REMEMBERED = 2, /* the engine fills it from the last run */
    QF_PARAM_SWITCHES = 4,   /* each choice word is an option of its own */
    QF_PARAM_MINIMUM = 8,    /* values below `minimum` are refused */
    QF_PARAM_HALF_OF = 16,   /* the default is half the parameter at `halfOf` */
    QF_PARAM_FIXED = 32,     /* not set from a command line: a host puts the fallback */
    QF_PARAM_COUNT = 64,     /* a host puts the number of files of the QF_FILE_LIST entry */
    QF_PARAM_FOLLOWS = 128   /* not given while the parameter at `follows` is: that value */
};

typedef struct QfParamInfo {
    const char* name;         /* the name ("constant"; "--constant" on a command line) */
    int32_t type;             /* QfValueType */
    int32_t offset;           /* byte offset in the command block */
    int32_t flags;            /* QfParamFlags */
    int32_t position;         /* place among positional words, or -1 for an option */
    double fallback;          /* the value a host puts when none is given */
    double minimum;           /* with QF_PARAM_MINIMUM */
    int32_t halfOf;           /* with QF_PARAM_HALF_OF: offset of that parameter */
    const char* choices;      /* "word=value ..." (a char value is one letter), or null */
    const char* fallbackText; /* the default of a QF_VALUE_NOISE ("none", "uniform:-1:1") */
    const char* help;         /* a few words for a usage line */
    /* What a host needs to teach the parameter (each may be null): */
    const char* about;   /* what it is, in a few words ("sampling rate") */
    const char* unit;    /* its unit ("Hz", "samples", "radians") */
    const char* example; /* one value a user might give ("44100") */
    const char* aliases; /* other names a command line accepts, blank-separated ("freq") */
    int32_t follows;     /* with QF_PARAM_FOLLOWS: offset of the parameter it follows */
} QfParamInfo;

enum QfOperationFlags {
    QF_OPERATION_CREATES_SIGNAL = 1, /* makes a new signal from parameters alone */
    QF_OPERATION_NEEDS_BOARD = 2,    /* runs only with a DSP board present */
    QF_OPERATION_NEEDS_GRAPH = 4,    /* acts on an open graph */
    QF_OPERATION_WRITES_LINE = 8     /* a recorded run leaves a script line */
};

typedef struct QfOperationInfo {
    int32_t code;
    const char* scriptName; /* as script lines write it, or null */
    const char* command;    /* the command of a command-line host, or null */
    const char* help;       /* one line */
    const char* title;      /* the dialog's title, or null */
    int32_t flags;          /* QfOperationFlags */
    int32_t fileCount;
    const QfFileInfo* files;
    int32_t paramCount;
    const QfParamInfo* params;
} QfOperationInfo;

/* The description of a registered operation, or null.  Valid until the
 * engine is started again. */
QF_EXPORT const QfOperationInfo* qfOperationInfo(int32_t code);
/* Stores up to `capacity` registered codes in table order; returns how many
 * operations are registered. */
QF_EXPORT int32_t qfOperationCodes(int32_t* codes, int32_t capacity);
/* Words the result of an operation's parameter check for the current
 * command block, as its dialog would, into `text` (size bytes).  Returns the
 * message kind, or -1 when the result has no message. */
QF_EXPORT int32_t qfCheckMessage(int32_t code, int32_t result, char* text, int32_t size);

/* ------------------------------------------------------------------ */
/* Parameter layouts (byte offsets in the command block)               */
/* ------------------------------------------------------------------ */

enum QfParamOffsets {
    /* 3015, 3025, 3035: the constant K (double) */
    QF_P_CONSTANT = 13008,
    /* 3070 shift k, 3230 bits, 4030 and 4040 factor, 3240 delay d (int32) */
    QF_P_WHOLE = 13008,
    /* 3040, 3050, 3060: the outer scale a (double) */
    QF_P_SCALE = 13008,
    /* 3110, 3120, 3130, 3200: A (double) and a (double) of A*g(a*x) */
    QF_P_OUTER = 13008,
    QF_P_INNER = 13016,
    /* 3100: samples to skip and length to copy (int32) */
    QF_P_EXTRACT_SKIP = 13008,
    QF_P_EXTRACT_LENGTH = 13012,
    /* 4050: window number, FFT size N and frame interval (int32) */
    QF_P_FFT_WINDOW = 13008,
    QF_P_FFT_SIZE = 13012,
    QF_P_FFT_INTERVAL = 13016,
    /* 3260: smoothing window length N (int32) */
    QF_P_SMOOTH_LENGTH = 13008,
    /* 3280: the points (X1, Y1) and (X2, Y2) of the map (double) */
    QF_P_MAP_X1 = 13008,
    QF_P_MAP_Y1 = 13016,
    QF_P_MAP_X2 = 13024,
    QF_P_MAP_Y2 = 13032,
    /* 3290: b0, b1, b2, a1, a2, y(-1), y(-2) of the difference equation (double) */
    QF_P_DIFFEQ_B0 = 13008,
    QF_P_DIFFEQ_B1 = 13016,
    QF_P_DIFFEQ_B2 = 13024,
    QF_P_DIFFEQ_A1 = 13032,
    QF_P_DIFFEQ_A2 = 13040,
    QF_P_DIFFEQ_Y1 = 13048,
    QF_P_DIFFEQ_Y2 = 13056,
    /* 3300: a, b, c of a * in1 + b * in2 + c (double) */
    QF_P_COMBINE_A = 13008,
    QF_P_COMBINE_B = 13016,
    QF_P_COMBINE_C = 13024,
    /* 3030: a of a * in1 * in2 (double) */
    QF_P_PRODUCT_SCALE = 13008,
    /* 3310: the scale a and the value L given for log(0) (double) */
    QF_P_LOG_SCALE = 13008,
    QF_P_LOG_ZERO = 13016,
    /* 6110, 6120: the number of channels M (int32); after 6110 the number of
     * component files it wrote.  6120 also finds the engine's 32-entry file
     * table and 32-descriptor table (pointers) at the two offsets after it. */
    QF_P_MUX_CHANNELS = 13008,
    QF_P_MUX_FILE_TABLE = 13016,
    QF_P_MUX_DESCRIPTOR_TABLE = 13024,
    /* 1140 import: sampling rate (double; 0 takes a WAVE or audio file's
     * own), format code F, channels M, complex flag X (the code becomes
     * F + 100), the frame header values of a complex import, and for an
     * audio file one channel K to take (1 = the first, 0 = all) (int32) */
    QF_P_IMPORT_RATE = 13008,
    QF_P_IO_FORMAT = 13016, /* 1140 and 1150: the format code */
    QF_P_IMPORT_CHANNELS = 13020,
    QF_P_IMPORT_COMPLEX = 13024,
    QF_P_EXPORT_ASSEMBLER = 13028, /* 1150: 1 writes assembler data */
    QF_P_IMPORT_FRAME_INTERVAL = 13032,
    QF_P_IMPORT_FRAME_SIZE = 13036,
    QF_P_IMPORT_WINDOW = 13040,
    QF_P_IMPORT_PICK_CHANNEL = 13044,
    /* 5010 stores the frame file's window number, frame size and frame
     * interval in the FFT fields (13008, 13012, 13016). */
    /* 5110: frames per average K (int32; 0 = all frames) */
    QF_P_AVERAGE_FRAMES = 13008,
    /* 5160: frame size N and frame interval (int32), the FFT's fields */
    QF_P_COMPOSE_SIZE = 13012,
    QF_P_COMPOSE_INTERVAL = 13016,
    /* 4010: points to skip S and length N (int32; N = 0: to the end) */
    QF_P_AUTOCORR_SKIP = 13008,
    QF_P_AUTOCORR_LENGTH = 13012,
    /* 4020, 4025: skip and length of the first and of the second input (int32) */
    QF_P_CORR_SKIP_A = 13008,
    QF_P_CORR_LENGTH_A = 13012,
    QF_P_CORR_SKIP_B = 13016,
    QF_P_CORR_LENGTH_B = 13020,
    /* 4080: DCT size N (int32), the FFT size field */
    QF_P_DCT_SIZE = 13012,
    /* 4005 (filtering) takes no parameters: in1 is the filter coefficient
     * file (.flt), in2 the signal to filter and out the filtered signal. */
    /* 5130: LPC order p, frame size Nf, frame interval I and the size N of
     * the spectrum that follows (int32); 5140 takes its size N at
     * QF_P_LPC_FFT_SIZE as well */
    QF_P_LPC_ORDER = 13008,
    QF_P_LPC_FRAME = 13012,
    QF_P_LPC_INTERVAL = 13016,
    QF_P_LPC_FFT_SIZE = 13020,
    /* 4007: taps L, samples K during which the taps adapt, normalised step
     * (nonzero) (int32), and the step size mu (double, used as a 32-bit
     * float) */
    QF_P_LMS_TAPS = 13008,
    QF_P_LMS_ADAPT = 13012,
    QF_P_LMS_NORMALISE = 13016,
    QF_P_LMS_STEP = 13024
};

/* Format codes of 1140 and 1150 beside the numbered text, raw and WAVE
 * layouts (0-14): any audio file through the audio library, the export
 * formats it writes, and a choice by the file name's extension. */
enum QfIoFormat {
    QF_FORMAT_AUDIO = 20,     /* import: WAVE of any sample format, FLAC, Ogg, Opus, MP3 ... */
    QF_FORMAT_WAV_FLOAT = 20, /* export: 32-bit float WAVE */
    QF_FORMAT_FLAC = 21,      /* export: FLAC, 24-bit from REAL32, else 16-bit */
    QF_FORMAT_BY_EXTENSION = 30
};

/* 2010-2140: the generator parameters from byte 13008 on. */
enum { QF_NOISE_TYPES = 4 }; /* none, uniform, normal, Poisson */
typedef struct QfGeneratorParams {
    char frequencyUnit; /* 'h': frequencies and rate in Hz; else radians */
    char phaseUnit;     /* 'd': phase in degrees; else radians */
    char unused2[2];
    int32_t outputType;                 /* 0 INTEGER16 or 2 REAL32 */
    int32_t windowNumber;               /* window 0-15 of the window generator */
    int32_t sweepLog;                   /* swept sine: nonzero logarithmic, 0 linear */
    int32_t noiseType;                  /* 0 none, 1 uniform, 2 normal, 3 Poisson */
    int32_t sweepCount;                 /* swept sine: number of sweeps */
    int32_t sampleCount;                /* N, samples to generate */
    int32_t sweepLength;                /* swept sine: samples per sweep L */
    int32_t sincCenter;                 /* sinc: index of the main lobe's peak */
    int32_t delay;                      /* unit sample and step: index n0 */
    double phase;                       /* phi */
    double amplitude;                   /* A */
    double offset;                      /* constant added by the periodic generators */
    double rate;                        /* sampling rate fs */
    double frequency;                   /* f, the start frequency f1 of the swept sine */
    double endFrequency;                /* swept sine: end frequency f2 */
    double decay;                       /* exponential: decay per sample a */
    double rampStart;                   /* ramp: first value */
    double rampEnd;                     /* ramp: end value */
    double noiseParam1[QF_NOISE_TYPES]; /* [1] uniform lower bound, [2] normal mean */
    double unused144[3];
    double noiseParam2[QF_NOISE_TYPES]; /* [1] uniform upper bound, [2] normal variance */
} QfGeneratorParams;

#define QF_GENERATOR_FIELD(field) (QF_PARAM_OFFSET + (int32_t)offsetof(QfGeneratorParams, field))

#ifdef __cplusplus
} /* extern "C" */
#endif

QF_STATIC_ASSERT(offsetof(QfGeneratorParams, phaseUnit) == 1, "phase unit at 13009");
QF_STATIC_ASSERT(offsetof(QfGeneratorParams, outputType) == 4, "output type at 13012");
QF_STATIC_ASSERT(offsetof(QfGeneratorParams, windowNumber) == 8, "window at 13016");
QF_STATIC_ASSERT(offsetof(QfGeneratorParams, sweepLog) == 12, "sweep kind at 13020");
QF_STATIC_ASSERT(offsetof(QfGeneratorParams, noiseType) == 16, "noise type at 13024");
QF_STATIC_ASSERT(offsetof(QfGeneratorParams, sweepCount) == 20, "sweeps at 13028");
QF_STATIC_ASSERT(offsetof(QfGeneratorParams, sampleCount) == 24, "sample count at 13032");
QF_STATIC_ASSERT(offsetof(QfGeneratorParams, sweepLength) == 28, "sweep length at 13036");
QF_STATIC_ASSERT(offsetof(QfGeneratorParams, sincCenter) == 32, "sinc centre at 13040");
QF_STATIC_ASSERT(offsetof(QfGeneratorParams, delay) == 36, "delay at 13044");
QF_STATIC_ASSERT(offsetof(QfGeneratorParams, phase) == 40, "phase at 13048");
QF_STATIC_ASSERT(offsetof(QfGeneratorParams, amplitude) == 48, "amplitude at 13056");
QF_STATIC_ASSERT(offsetof(QfGeneratorParams, offset) == 56, "offset at 13064");
QF_STATIC_ASSERT(offsetof(QfGeneratorParams, rate) == 64, "rate at 13072");
QF_STATIC_ASSERT(offsetof(QfGeneratorParams, frequency) == 72, "frequency at 13080");
QF_STATIC_ASSERT(offsetof(QfGeneratorParams, endFrequency) == 80, "end frequency at 13088");
QF_STATIC_ASSERT(offsetof(QfGeneratorParams, decay) == 88, "decay at 13096");
QF_STATIC_ASSERT(offsetof(QfGeneratorParams, rampStart) == 96, "ramp start at 13104");
QF_STATIC_ASSERT(offsetof(QfGeneratorParams, rampEnd) == 104, "ramp end at 13112");
QF_STATIC_ASSERT(offsetof(QfGeneratorParams, noiseParam1) == 112, "noise parameters at 13120");
QF_STATIC_ASSERT(offsetof(QfGeneratorParams, noiseParam2) == 168,
                 "second noise parameters at 13176");
QF_STATIC_ASSERT(sizeof(QfGeneratorParams) + QF_PARAM_OFFSET <= QF_BLOCK_SIZE,
                 "the generator parameters fit the block");

#endif /* QUILLFEN_OPERATIONS_H */
