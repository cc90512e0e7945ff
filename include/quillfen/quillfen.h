/*
 * quillfen.h - the one header a host application includes to drive the
 * Quillfen processing engine.
 *
 * The engine is a shared library.  The host calls the exported functions
 * declared at the end of this header; the engine calls back into the host
 * through the 73 functions of QF_HOST_CALLBACKS, which the host must export
 * under exactly these names (the engine binds them by name at start-up).
 *
 * Every value the engine and host exchange is 32 bits wide unless it is a
 * pointer; the fixed byte offsets of the command block are an interface
 * between separately built modules and are checked at compile time.
 */
#ifndef QUILLFEN_QUILLFEN_H
#define QUILLFEN_QUILLFEN_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define QF_EXPORT __declspec(dllexport)
#else
#define QF_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------------ */
/* File entries and the command block                                  */
/* ------------------------------------------------------------------ */

enum { QF_NAME_LEN = 256, QF_PATH_LEN = 768 };

/* A file entry: the file name followed by its directory.  The directory
 * ends with the platform separator; the full path is p followed by n. */
typedef struct nameNpath {
    char n[QF_NAME_LEN];
    char p[QF_PATH_LEN];
} nameNpath;

enum {
    QF_DESCRIPTOR_SLOT = 1576, /* bytes of one signal descriptor work area */
    QF_DESCRIPTOR_COUNT = 5,
    QF_PARAM_OFFSET = 13008, /* first byte of the parameter area */
    QF_BLOCK_SIZE = 16384
};

/* The block the host fills and passes to RunOp.  The engine sets opCode to
 * 9999 when it has finished with the block. */
typedef struct CommandBlock {
    int32_t opCode;   /* offset 0 */
    nameNpath in1;    /* 4 */
    nameNpath in2;    /* 1028 */
    nameNpath out;    /* 2052 */
    nameNpath out2;   /* 3076 */
    nameNpath out3;   /* 4100 */
    int32_t reserved; /* 5124 */
    /* descriptors for in1, in2, out, out2, out3 (engine work area) */
    unsigned char descriptors[QF_DESCRIPTOR_COUNT][QF_DESCRIPTOR_SLOT]; /* 5128 */
    /* parameters at fixed offsets, 32-bit integers and 64-bit doubles */
    unsigned char params[QF_BLOCK_SIZE - QF_PARAM_OFFSET]; /* 13008 */
} CommandBlock;

/* ------------------------------------------------------------------ */
/* Engine status record (qfenStatus points to it)                      */
/* ------------------------------------------------------------------ */

typedef struct StatusRecord {
    char outputFormat;    /* 0: 'a' text data, 'b' binary data */
    char overflowMode;    /* 1: 's' saturate, 'w' wrap around */
    char roundingMode;    /* 2: 'e' ties to even, 'r' ties away, else truncate */
    char reserved3;       /* 3 */
    char busy;            /* 4: 'y' while an operation works on its files */
    char reserved5;       /* 5 */
    char scriptRunning;   /* 6: 'y' while a script executes */
    char scriptRecording; /* 7: 'y' while a script is being recorded */
    char logWindowShown;  /* 8: 'y' or 'n' */
    char reserved9[3];
    /* remembered FFT dialog values */
    int32_t fftWindow;
    int32_t fftSize;
    int32_t fftInterval;
    /* settings that are restored and saved */
    int32_t restoredSetting; /* only restored and saved */
    int32_t noticeSetting;   /* read beside acceleratorOn by the FFT/DCT notices */
    /* realtime display fields, in record order */
    int32_t rtUnused1;
    int32_t rtBoardBufferLength;
    int32_t rtScopeCount;
    int32_t rtScopeOffset;
    int32_t rtSpectrumCount;
    int32_t rtSpectrumOffset;
    float rtInputRangeTop;
    float rtInputRangeBottom;
    float rtDbRangeTop;
    float rtDbRangeBottom;
    int32_t rtUnused2;
    float rtScopeGain;
    float rtScopeShift;
    float rtSpectrumGain;
    float rtSpectrumShift;
    /* remembered DCT size */
    int32_t dctSize;
    /* window placement values kept across an edit */
    int32_t windowPlacement[4];
    /* the graph to re-plot when a replaced file is closed */
    int32_t replotOpCode;
    nameNpath replotFile;
} StatusRecord;

/* ------------------------------------------------------------------ */
/* Operation codes and message kinds                                   */
/* ------------------------------------------------------------------ */

enum QfMessageKind {
    QF_MSG_ERROR = 0,
    QF_MSG_CAUTION = 1,
    QF_MSG_NOTICE = 2,
    QF_MSG_DESCRIPTION = 3,
    QF_MSG_SCRIPT = 4
};

enum QfOpCode {
    QF_OP_PRINT_GRAPH = 1100,
    QF_OP_RUN_SCRIPT = 1120,
    QF_OP_IMPORT = 1140,
    QF_OP_EXPORT = 1150,
    QF_OP_RECORD_START = 1160,
    QF_OP_RECORD_STOP = 1170,
    QF_OP_RECORD_PAUSE = 1210,
    QF_OP_RECORD_MESSAGE = 1220,
    QF_OP_RECORD_REMARK = 1230,
    QF_OP_RECORD_CLOSE_WINDOWS = 1240,
    QF_OP_EDIT_UNDO = 1800,
    QF_OP_EDIT_CUT = 1810,
    QF_OP_EDIT_COPY = 1820,
    QF_OP_EDIT_PASTE = 1830,
    QF_OP_EDIT_PASTE_NEW = 1835,
    QF_OP_EDIT_DELETE = 1840,
    QF_OP_EDIT_SELECT_ALL = 1850,
    QF_OP_PLAY_HIGHLIGHT = 6160,
    QF_OP_SINE = 2010,
    QF_OP_SWEPT_SINE = 2015,
    QF_OP_SQUARE = 2020,
    QF_OP_TRIANGLE = 2030,
    QF_OP_UNIT_SAMPLE = 2050,
    QF_OP_UNIT_STEP = 2060,
    QF_OP_WINDOW_FUNCTION = 2090,
    QF_OP_SINC = 2110,
    QF_OP_RAMP = 2120,
    QF_OP_EXP_FUNCTION = 2130,
    QF_OP_NOISE = 2140,
    QF_OP_ADD = 3010,
    QF_OP_ADD_K = 3015,
    QF_OP_SUBTRACT = 3020,
    QF_OP_SUBTRACT_K = 3025,
    QF_OP_MULTIPLY = 3030,
    QF_OP_MULTIPLY_K = 3035,
    QF_OP_RECIPROCAL = 3040,
    QF_OP_SQUARED = 3050,
    QF_OP_SQUARE_ROOT = 3060,
    QF_OP_SHIFT_RIGHT = 3070,
    QF_OP_FLIP = 3090,
    QF_OP_EXTRACT = 3100,
    QF_OP_SIN = 3110,
    QF_OP_COS = 3120,
    QF_OP_TAN = 3130,
    QF_OP_EXP = 3200,
    QF_OP_JOIN = 3220,
    QF_OP_QUANTIZE = 3230,
    QF_OP_DIFFERENCE = 3240,
    QF_OP_STATISTICS = 3250,
    QF_OP_SMOOTH = 3260,
    QF_OP_SAMPLE_HOLD = 3270,
    QF_OP_MAP_SATURATE = 3280,
    QF_OP_DIFFERENCE_EQN = 3290,
    QF_OP_LINEAR_COMBO = 3300,
    QF_OP_LOG10 = 3310,
    QF_OP_REAL_TO_WHOLE = 3320,
    QF_OP_FILTER = 4005,
    QF_OP_LMS = 4007,
    QF_OP_AUTOCORRELATION = 4010,
    QF_OP_CROSSCORRELATION = 4020,
    QF_OP_CONVOLUTION = 4025,
    QF_OP_DECIMATE = 4030,
    QF_OP_INTERPOLATE = 4040,
    QF_OP_FFT = 4050,
    QF_OP_WAVEFORM_DISPLAY = 4060,
    QF_OP_OSCILLOSCOPE = 4070,
    QF_OP_DCT = 4080,
    QF_OP_INERT = 4090,
    QF_OP_INVERSE_FFT = 5010,
    QF_OP_MAGNITUDE_DISPLAY = 5040,
    QF_OP_RT_SPECTRUM = 5045,
    QF_OP_RT_2D = 5050,
    QF_OP_RT_3D = 5060,
    QF_OP_PHASE_DISPLAY = 5070,
    QF_OP_POWER_DISPLAY = 5080,
    QF_OP_SPECTROGRAM_2D = 5090,
    QF_OP_SPECTROGRAM_3D = 5100,
    QF_OP_FRAME_AVERAGE = 5110,
    QF_OP_DECOMPOSE = 5120,
    QF_OP_LPC_ANALYSIS = 5130,
    QF_OP_LPC_TO_FRE = 5140,
    QF_OP_COMPOSE = 5160,
    QF_OP_SPECTRUM_RECIPROCAL = 5170,
    QF_OP_WIENER = 5180,
    QF_OP_SATURATE = 6010,
    QF_OP_WRAP = 6020,
    QF_OP_TEXT_OUTPUT = 6030,
    QF_OP_BINARY_OUTPUT = 6040,
    QF_OP_ASCII_BINARY = 6050,
    QF_OP_INT_FLOAT = 6060,
    QF_OP_BOARD_RECORD = 6080,
    QF_OP_BOARD_PLAY = 6090,
    QF_OP_CONTROL_CENTER = 6100,
    QF_OP_DEMULTIPLEX = 6110,
    QF_OP_MULTIPLEX = 6120,
    QF_OP_DONE = 9999
};

/* ------------------------------------------------------------------ */
/* Host callbacks                                                      */
/* ------------------------------------------------------------------ */

/* Opaque records the engine hands to the host. */
typedef void* QfWindow; /* a host window handle */
typedef struct PlotData PlotData;
typedef struct QfPoint {
    int32_t x;
    int32_t y;
} QfPoint;
typedef int32_t (*QfCheckParamsFn)(int32_t mode);

/* X(name, argument list, argument names) - every callback returns int32_t. */
#define QF_HOST_CALLBACKS(X)                                                                      \
    /* messages */                                                                                \
    X(stdEmitMsg, (int32_t kind, const char* text))                                               \
    /* file pickers */                                                                            \
    X(stdGet123Files, (const char* title, const char* ext1, const char* label1, const char* ext2, \
                       const char* label2, const char* ext3, const char* label3, int32_t mode))   \
    X(stdGet2FilesNk, (const char* title, const char* ext1, const char* label1,                   \
                       const char* labelK, const char* ext2, const char* label2))                 \
    X(dspMuxOpenFile, (int32_t mode, void* fileTable, const char* ext))                           \
    /* parameter dialogs */                                                                       \
    X(getSweptSineParams, (const char* title, QfCheckParamsFn check))                             \
    X(getImpuParams, (const char* title, QfCheckParamsFn check))                                  \
    X(getWinFunctParams, (const char* title, QfCheckParamsFn check))                              \
    X(getSincFunctParams, (const char* title, QfCheckParamsFn check))                             \
    X(getRampFunctParams, (const char* title, QfCheckParamsFn check))                             \
    X(getExpFunctParams, (const char* title, QfCheckParamsFn check))                              \
    X(getNoiseFunctParams, (const char* title, QfCheckParamsFn check))                            \
    X(dspExtractGetPara, (void))                                                                  \
    X(dspLinearRngMapGetPara, (void))                                                             \
    X(autoCorrelationGetPara, (void))                                                             \
    X(dspCorrConvoGetPara, (void))                                                                \
    X(dspFFTGetPara, (void))                                                                      \
    X(dspDCTGetPara, (void))                                                                      \
    X(dspLPCGetPara, (void))                                                                      \
    X(dspLPCFFTGetPara, (void))                                                                   \
    X(getLMSParameters, (void))                                                                   \
    X(GetControlCenterParameters,                                                                 \
      (void* paramBlock, StatusRecord* status, int32_t* tiltX, int32_t* tiltY,                    \
       int32_t* frameWidth, int32_t* fill3d, int32_t* palette))                                   \
    X(stdImportGet, (int32_t mode, QfCheckParamsFn check))                                        \
    X(stdExportGet, (int32_t mode, QfCheckParamsFn check))                                        \
    /* script dialogs */                                                                          \
    X(scrEntryBox, (const char* prompt, char* buffer))                                            \
    X(SleepForNSeconds, (int32_t seconds, const char* text))                                      \
    /* windows */                                                                                 \
    X(DoCreateGraphWindow, (const char* title, PlotData* graph))                                  \
    X(DoCloseGraphWindow, (QfWindow window))                                                      \
    X(DoGetActiveMDIWindow, (void))                                                               \
    X(DoForceRepaint, (QfWindow window))                                                          \
    X(DoSetHorizontalScrollPosition, (QfWindow window, int32_t position, int32_t redraw))         \
    X(DoSetHorizontalScrollRange, (QfWindow window, int32_t low, int32_t high))                   \
    X(stdLogWinOpen, (int32_t c))                                                                 \
    X(SetEditMenu, (int32_t flags))                                                               \
    /* timers */                                                                                  \
    X(StartTimer, (void))                                                                         \
    X(RestartTimer, (void))                                                                       \
    /* drawing */                                                                                 \
    X(DoSelectPen, (QfWindow window, int32_t pen))                                                \
    X(DoSetPenColor, (int32_t pen, int32_t colour))                                               \
    X(DoSetPenColorFromRGB, (int32_t pen, int32_t r, int32_t g, int32_t b))                       \
    X(DoSetPenLineType, (int32_t pen, int32_t type))                                              \
    X(DoSelectBrush, (QfWindow window, int32_t brush))                                            \
    X(DoSetBrushColor, (int32_t brush, int32_t colour))                                           \
    X(DoPolyLine, (QfWindow window, const QfPoint* points, int32_t count))                        \
    X(DoFillRectangle, (QfWindow window, const int32_t* rect, int32_t brush))                     \
    X(DoTextOut, (QfWindow window, int32_t font, const char* text, int32_t x, int32_t y))         \
    X(DoTextRotatedOut, (QfWindow window, int32_t font, const char* text, int32_t x, int32_t y))  \
    X(DoGetTextExtent,                                                                            \
      (QfWindow window, int32_t font, const char* text, int32_t* width, int32_t* height))         \
    X(DoGetTextMetrics, (QfWindow window, int32_t font, int32_t * height, int32_t * width))       \
    X(DoSetFontType, (int32_t font, int32_t type))                                                \
    X(DoSetFontStyle, (int32_t font, int32_t style))                                              \
    X(DoSetFontSize, (int32_t font, int32_t size))                                                \
    X(DoGetPenInfo, (int32_t * colours, int32_t * lineTypes))                                     \
    X(DoGetFontInfo, (int32_t * types, int32_t * styles, int32_t * sizes))                        \
    X(DoSetRasterOp, (QfWindow window, int32_t op))                                               \
    X(DoEnableClipping, (QfWindow window, int32_t on))                                            \
    X(DoSetRectangularClipRegion,                                                                 \
      (QfWindow window, int32_t left, int32_t top, int32_t right, int32_t bottom))                \
    X(DoCreatePolygonRegion, (const QfPoint* points, int32_t count))                              \
    X(DoSetClipRegion, (QfWindow window, int32_t region))                                         \
    X(DoDeleteRegion, (int32_t region))                                                           \
    X(DoCreatePixmap, (QfWindow window, int32_t width, int32_t height))                           \
    X(DoDeletePixmap, (QfWindow window))                                                          \
    X(DoSetPixelInBitmap, (QfWindow window, int32_t x, int32_t y, int32_t colour))                \
    X(DoBitBltFromBitmap, (QfWindow window, int32_t x, int32_t y, int32_t width, int32_t height)) \
    X(DoCreate2DImage, (QfWindow window, int32_t x, int32_t y, int32_t column, int32_t width,     \
                        int32_t height, const unsigned char* pixels))                             \
    X(DoSend2DImageToBitmap,                                                                      \
      (QfWindow window, int32_t x, int32_t y, int32_t width, int32_t height))                     \
    X(DoSetColorTable, (int32_t index, int32_t red, int32_t green, int32_t blue))                 \
    X(DoDrawMagnitudeBar,                                                                         \
      (QfWindow window, int32_t left, int32_t top, int32_t width, int32_t height))                \
    /* bound, never called */                                                                     \
    X(CheckGraphicsStatus, (void))                                                                \
    X(DoCreateRectangularRegion, (int32_t left, int32_t top, int32_t right, int32_t bottom))      \
    X(DoGetWindowCoordinates, (QfWindow window, int32_t * rect))                                  \
    X(DoSetBrushColorFromRGB, (int32_t brush, int32_t r, int32_t g, int32_t b))                   \
    X(DoSetFontCharacteristics, (int32_t font, int32_t type, int32_t style, int32_t size))        \
    X(DoSetPixel, (QfWindow window, int32_t x, int32_t y, int32_t colour))                        \
    X(DoSetPixelArray, (QfWindow window, const QfPoint* points, int32_t count, int32_t colour))

enum { QF_HOST_CALLBACK_COUNT = 73 };

/* Pointer types of the callbacks: QfHost_stdEmitMsg and so on. */
#define QF_DECLARE_HOST_FN(name, args) typedef int32_t(*QfHost_##name) args;
QF_HOST_CALLBACKS(QF_DECLARE_HOST_FN)
#undef QF_DECLARE_HOST_FN

/* Optional host exports, bound by name when present.
 *
 * qfAsyncKeyState: the state of a virtual key (bit 15 set = down); the Esc
 * key (0x1B) stops a script replay before its next line, and an operation
 * between two blocks of its work (the run ends as QF_RUN_INTERRUPTED).
 *
 * qfPickScriptFile: a script line asks for a file ("?Prompt_text" as its
 * directory).  entry arrives with the name written in the script and the
 * script directory; the host returns 0 with a name and directory in entry,
 * a positive value when the user gives none (the placeholder name is used),
 * or a negative value when it does not ask (the written name stands when it
 * has an extension).
 *
 * qfAskScriptText: a script line holds a "?$Prompt_text" token.  The host
 * returns 0 with the answer in answer (size bytes, terminated), a positive
 * value when the user cancels (the replay stops), or a negative value when
 * it does not ask (the first word of answer's current text is used). */
typedef int16_t (*QfHost_qfAsyncKeyState)(int virtualKey);
typedef int32_t (*QfHost_qfPickScriptFile)(const char* prompt, nameNpath* entry);
typedef int32_t (*QfHost_qfAskScriptText)(const char* prompt, char* answer, int32_t size);

/* ------------------------------------------------------------------ */
/* Engine exports                                                      */
/* ------------------------------------------------------------------ */

/* Start-up, shut-down and log.  hostModule names the loaded module that
 * exports the callbacks (null or "" = the main program); homePath ends with
 * the path separator.  Returns 0, or 1 when the host module is not loaded. */
QF_EXPORT int32_t InitQuillfen(const char* hostModule, const char* homePath);
QF_EXPORT int32_t ExitQuillfen(void);
QF_EXPORT int32_t DoPrintOnLogFile(const char* text);
QF_EXPORT char* stdHomePath(const char* name);
QF_EXPORT int32_t clearIfExtDiff(const char* extensions, char* fileName);

/* One operation: returns 0, 1 for an unknown code, or the operation's status. */
QF_EXPORT int32_t RunOp(CommandBlock* block);
QF_EXPORT int32_t GetInitialValues(char* format, char* overflow);
QF_EXPORT extern StatusRecord* qfenStatus;

/* How the last RunOp ended.  RunOp's own result stays what it always was
 * (0 also when a multi-channel input was refused and nothing ran); a host
 * that must know whether the operation ran asks qfRunState. */
enum QfRunOutcome {
    QF_RUN_DONE = 0,         /* the operation ran to completion */
    QF_RUN_UNKNOWN_CODE = 1, /* no operation has the block's code */
    QF_RUN_CANCELLED = 2,    /* the dialog was cancelled or its values refused: nothing ran */
    QF_RUN_REFUSED = 3,      /* an input was refused (a multi-channel recording): nothing ran */
    QF_RUN_FAILED = 4,       /* the operation failed and said why; no output was left */
    QF_RUN_INTERRUPTED = 5,  /* the user stopped it (Esc): no output was left */
    QF_RUN_BUSY = 6          /* RunOp is running */
};
typedef struct QfRunState {
    int32_t code;      /* the block's operation code */
    int32_t outcome;   /* QfRunOutcome */
    int32_t result;    /* what RunOp returned */
    int32_t check;     /* the parameter check result reported last, or 0 */
    const char* param; /* the parameter that check is about (its QfParamInfo name), or null */
} QfRunState;
/* The state of the last (or the running) RunOp.  check and param are set
 * before a check's message is sent, so a host can tell inside stdEmitMsg
 * which parameter the message is about. */
QF_EXPORT const QfRunState* qfRunState(void);

/* Switches a host may turn on; each is off at start-up. */
enum QfHostOption {
    QF_OPTION_RECORD_DONE_ONLY = 1, /* a script line is recorded only for an operation that ran */
    QF_OPTION_RECORD_APPEND = 2     /* recording (1160) adds to an existing script */
};
/* Sets a host option (0 off, nonzero on); returns its previous value, or -1
 * for an option the engine does not know. */
QF_EXPORT int32_t qfSetHostOption(int32_t option, int32_t value);

/* Graph windows. */
QF_EXPORT int32_t plotGraphCtrl(int32_t message, QfWindow window);
QF_EXPORT int32_t GraphControlWrapper(PlotData* graph, int32_t controlCommand, const char* xTitle,
                                      const char* yTitle, int32_t frameWidth, int32_t dbLow,
                                      int32_t dbHigh, int32_t tiltAngle, int32_t tiltLength);
QF_EXPORT int32_t grPanLeftRightWrapper(PlotData* graph, int32_t scrollCode, int32_t thumb);
QF_EXPORT int32_t grGraphXcursorWrapper(QfWindow window, PlotData* graph, int32_t x, int32_t y,
                                        int32_t event);
QF_EXPORT int32_t getGraphData(PlotData* graph, int32_t* autoScale, int32_t* kind,
                               int32_t* frameWidth, int32_t* dbHigh, int32_t* dbLow,
                               int32_t* tiltAngle, int32_t* tiltLength, char* xTitle, char* yTitle);
QF_EXPORT int32_t GetGraphType(PlotData* graph);
QF_EXPORT int32_t SetForBlackOnWhiteColors(void);
QF_EXPORT int32_t initGraphDefaultColour(int32_t force);
QF_EXPORT int32_t initGraphDefaultColour2(int32_t force);
QF_EXPORT int32_t initGraphDefaultFontSizes(void);
QF_EXPORT int32_t initGraphDefaultFontStyles(void);
QF_EXPORT int32_t initGraphDefaultFontTypes(void);
QF_EXPORT int32_t initGraphDefaultLineType(void);

#ifdef __cplusplus
} /* extern "C" */
#endif

/* The layout is an interface: check it wherever the header is compiled. */
#ifdef __cplusplus
#define QF_STATIC_ASSERT static_assert
#else
#define QF_STATIC_ASSERT _Static_assert
#endif
QF_STATIC_ASSERT(sizeof(nameNpath) == 1024, "nameNpath is 1024 bytes");
QF_STATIC_ASSERT(offsetof(CommandBlock, opCode) == 0, "opCode at 0");
QF_STATIC_ASSERT(offsetof(CommandBlock, in1) == 4, "in1 at 4");
QF_STATIC_ASSERT(offsetof(CommandBlock, in1) + offsetof(nameNpath, p) == 260, "in1.p at 260");
QF_STATIC_ASSERT(offsetof(CommandBlock, in2) == 1028, "in2 at 1028");
QF_STATIC_ASSERT(offsetof(CommandBlock, out) == 2052, "out at 2052");
QF_STATIC_ASSERT(offsetof(CommandBlock, out2) == 3076, "out2 at 3076");
QF_STATIC_ASSERT(offsetof(CommandBlock, out3) == 4100, "out3 at 4100");
QF_STATIC_ASSERT(offsetof(CommandBlock, descriptors) == 5128, "descriptors at 5128");
QF_STATIC_ASSERT(offsetof(CommandBlock, params) == QF_PARAM_OFFSET, "parameters at 13008");
QF_STATIC_ASSERT(sizeof(CommandBlock) == QF_BLOCK_SIZE, "command block is 16384 bytes");
QF_STATIC_ASSERT(offsetof(StatusRecord, outputFormat) == 0, "outputFormat at byte 0");
QF_STATIC_ASSERT(offsetof(StatusRecord, overflowMode) == 1, "overflowMode at byte 1");
QF_STATIC_ASSERT(offsetof(StatusRecord, roundingMode) == 2, "roundingMode at byte 2");
QF_STATIC_ASSERT(offsetof(StatusRecord, busy) == 4, "busy at byte 4");
QF_STATIC_ASSERT(offsetof(StatusRecord, scriptRunning) == 6, "scriptRunning at byte 6");
QF_STATIC_ASSERT(offsetof(StatusRecord, scriptRecording) == 7, "scriptRecording at byte 7");
QF_STATIC_ASSERT(offsetof(StatusRecord, logWindowShown) == 8, "logWindowShown at byte 8");

#endif /* QUILLFEN_QUILLFEN_H */
