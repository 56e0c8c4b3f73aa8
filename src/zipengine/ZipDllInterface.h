/* The interface between the packager (xmldoc::TZip) and the zip engine, the
 * shared library ZipDll that TZip loads at run time.
 *
 * Both sides include this header. The records keep the field order of the
 * engine's 32-bit interface (the offsets in the comments are those of a
 * 32-bit build, where the records are byte for byte that interface); pointers
 * have the platform's native width, so on a 64-bit build the offsets differ
 * but both sides agree through this header. Every record is zero-filled
 * before use; "true" flags are -1 and "false" flags 0. Texts are
 * zero-terminated 8-bit strings owned by the caller for the length of the
 * call.
 *
 * A run: TZip fills a ZipRunParams and calls ZipDllExec, which calls
 * Callback for every event (message types below) and returns the number of
 * files it added, 0 when it added none or was told to stop, or -1 when the
 * run failed; a failed run leaves the archive as it was and has sent the
 * reason as a ZIPDLL_MSG_TEXT message first (whether or not Trace is set).
 * A callback answering -1 stops the run; the archive is then left as it was.
 */
#ifndef ANNONCIA_ZIPDLL_INTERFACE_H
#define ANNONCIA_ZIPDLL_INTERFACE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define ZIPDLL_CALL __stdcall
#define ZIPDLL_EXPORT __declspec(dllexport)
#else
#define ZIPDLL_CALL
#define ZIPDLL_EXPORT __attribute__((visibility("default")))
#endif

enum {
  ZIPDLL_INTERFACE_VERSION = 160, /* ZipRunParams.Version; also the lowest accepted engine version */
  ZIPDLL_SEAL = 7,                /* ZipRunParams.Seal */
  ZIPDLL_TRUE = -1,
  ZIPDLL_TEXT_SIZE = 512
};

/* Message types of ZipCallbackRecord.MessageType. */
enum {
  ZIPDLL_MSG_BEGIN_FILE = 1,  /* Text = file name, Number = its size */
  ZIPDLL_MSG_PROGRESS = 2,    /* Number = bytes just processed */
  ZIPDLL_MSG_END_BATCH = 3,
  ZIPDLL_MSG_TEXT = 4,        /* Text = an engine message */
  ZIPDLL_MSG_COUNT = 5,       /* Number = files in the batch */
  ZIPDLL_MSG_TOTAL_BYTES = 6, /* Number = bytes in the batch */
  ZIPDLL_MSG_PASSWORD = 8,    /* questions 8 to 10 come only from extraction */
  ZIPDLL_MSG_CRC_ERROR = 9,
  ZIPDLL_MSG_OVERWRITE = 10,
  ZIPDLL_MSG_SKIPPED = 11     /* Text = file name, Number = reason code */
};

/* Reason codes of ZIPDLL_MSG_SKIPPED sent by this engine. */
enum {
  ZIPDLL_SKIP_DUPLICATE_NAME = 1, /* a file of the same bare name is already in the batch */
  ZIPDLL_SKIP_ARCHIVE_ITSELF = 2  /* the pattern matched the archive being written */
};

typedef struct ZipCallbackRecord {
  int32_t Reserved0;              /*  0 */
  void* Caller;                   /*  4 ZipRunParams.Caller */
  int32_t Reserved8;              /*  8 */
  int32_t Reserved12;             /* 12 */
  int32_t MessageType;            /* 16 */
  int32_t Answer;                 /* 20 written by the caller for questions */
  int32_t Number;                 /* 24 */
  char Text[ZIPDLL_TEXT_SIZE];    /* 28 zero-terminated */
} ZipCallbackRecord;

typedef int32_t(ZIPDLL_CALL* ZipCallbackFunction)(ZipCallbackRecord* record);

typedef struct ZipSpecEntry {
  const char* Pattern;            /*  0 a file path, or a folder, a separator and a mask with * and ? */
  int32_t Reserved4;              /*  4 */
  int32_t Reserved8;              /*  8 */
  const char* Password;           /* 12 copy of ZipRunParams.Password */
  int32_t Encrypt;                /* 16 copy of ZipRunParams.Encrypt */
  uint16_t Recurse;               /* 20 copy of ZipRunParams.Recurse */
  uint16_t Reserved22;            /* 22 */
  int32_t Reserved24[3];          /* 24 */
  const char* RootFolder;         /* 36 with a trailing separator, or an empty text */
  int32_t Reserved40[16];         /* 40 */
} ZipSpecEntry;

typedef struct ZipRunParams {
  void* Reserved0;                /*   0 */
  void* Caller;                   /*   4 handed back in every callback record */
  int32_t Version;                /*   8 ZIPDLL_INTERFACE_VERSION */
  ZipCallbackFunction Callback;   /*  12 */
  int32_t Trace;                  /*  16 send the engine's messages */
  const char* Password;           /*  20 add runs only, when a password is set */
  int32_t Reserved24;             /*  24 */
  int32_t Encrypt;                /*  28 encrypt the added files */
  int32_t OptionBit6;             /*  32 engine-defined */
  int32_t Reserved36;             /*  36 */
  int32_t Reserved40;             /*  40 */
  int32_t NotOptionBit4;          /*  44 engine-defined */
  int32_t Reserved48;             /*  48 */
  int32_t Reserved52;             /*  52 */
  int32_t Always56;               /*  56 always true */
  int32_t Level;                  /*  60 compression level, 0 to 9 */
  int32_t Reserved64;             /*  64 */
  int32_t Reserved68;             /*  68 */
  int32_t JunkFolders;            /*  72 store entries under their bare file names */
  uint16_t Recurse;               /*  76 0xFFFF: recurse into sub-folders */
  uint16_t Reserved78;            /*  78 */
  int32_t AddRun;                 /*  80 */
  int32_t OptionBit7;             /*  84 engine-defined */
  int32_t Reserved88;             /*  88 */
  int32_t DeleteRun;              /*  92 */
  int32_t OptionBit1;             /*  96 engine-defined */
  int32_t OptionBit0;             /* 100 engine-defined */
  int32_t Reserved104[4];         /* 104 */
  int32_t PatternCount;           /* 120 */
  const char* ArchiveName;        /* 124 */
  const char* TempFolder;         /* 128 */
  const char* Comment;            /* 132 archive comment, or null */
  int32_t Reserved136;            /* 136 */
  ZipSpecEntry* Patterns;         /* 140 PatternCount records */
  int32_t Reserved144[17];        /* 144 */
  int32_t Seal;                   /* 212 ZIPDLL_SEAL */
} ZipRunParams;

#if UINTPTR_MAX == 0xFFFFFFFFu
#include <stddef.h>
#ifdef __cplusplus
#define ZIPDLL_STATIC_ASSERT static_assert
#else
#define ZIPDLL_STATIC_ASSERT _Static_assert
#endif
ZIPDLL_STATIC_ASSERT(sizeof(ZipRunParams) == 216 && offsetof(ZipRunParams, Trace) == 16 &&
                         offsetof(ZipRunParams, Encrypt) == 28 && offsetof(ZipRunParams, NotOptionBit4) == 44 &&
                         offsetof(ZipRunParams, Level) == 60 && offsetof(ZipRunParams, Recurse) == 76 &&
                         offsetof(ZipRunParams, DeleteRun) == 92 && offsetof(ZipRunParams, OptionBit0) == 100 &&
                         offsetof(ZipRunParams, PatternCount) == 120 && offsetof(ZipRunParams, Comment) == 132 &&
                         offsetof(ZipRunParams, Patterns) == 140 && offsetof(ZipRunParams, Seal) == 212,
                     "ZipRunParams layout");
ZIPDLL_STATIC_ASSERT(sizeof(ZipSpecEntry) == 104 && offsetof(ZipSpecEntry, Password) == 12 &&
                         offsetof(ZipSpecEntry, Recurse) == 20 && offsetof(ZipSpecEntry, RootFolder) == 36,
                     "ZipSpecEntry layout");
ZIPDLL_STATIC_ASSERT(offsetof(ZipCallbackRecord, MessageType) == 16 && offsetof(ZipCallbackRecord, Number) == 24 &&
                         offsetof(ZipCallbackRecord, Text) == 28,
                     "ZipCallbackRecord layout");
#endif

/* The engine's entry points. GetZipDllVersion answers at least
 * ZIPDLL_INTERFACE_VERSION for an engine that speaks this interface. */
typedef int32_t(ZIPDLL_CALL* GetZipDllVersionFunction)(void);
typedef int32_t(ZIPDLL_CALL* ZipDllExecFunction)(ZipRunParams* params);

ZIPDLL_EXPORT int32_t ZIPDLL_CALL GetZipDllVersion(void);
ZIPDLL_EXPORT int32_t ZIPDLL_CALL ZipDllExec(ZipRunParams* params);

#ifdef __cplusplus
}
#endif

#endif
