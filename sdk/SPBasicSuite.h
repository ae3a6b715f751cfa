// The basic suite: the root from which a plug-in acquires every other suite by name and version.
#pragma once

#include <stddef.h>

#include "AE_Types.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t SPErr;
typedef uint8_t SPBoolean;

enum {
    kSPNoError = 0,
    kSPSuiteNotFoundError = 0x53214664,   /* no suite of that name and version */
    kSPBadParameterError = 0x50617221     /* null name or out-pointer          */
};

typedef struct SPBasicSuite {
    /* Looks a suite up by name and version. On success *suite points at the suite's function
     * table and the suite's acquire count goes up by one. */
    SPErr (*AcquireSuite)(const char* name, int32_t version, const void** suite);
    /* Gives one acquisition back. Releasing more often than acquired is an error. */
    SPErr (*ReleaseSuite)(const char* name, int32_t version);
    /* Compares two suite names. */
    SPBoolean (*IsEqual)(const char* token1, const char* token2);
    SPErr (*AllocateBlock)(size_t size, void** block);
    SPErr (*FreeBlock)(void* block);
    SPErr (*ReallocateBlock)(void* block, size_t newSize, void** newblock);
    SPErr (*Undefined)(void);
} SPBasicSuite;

#define kSPBasicSuite "SP Basic Suite"
#define kSPBasicSuiteVersion 8

#ifdef __cplusplus
}
#endif
