#pragma once
// Intel HEX loader shared library, bound by the gang programmer at start-up.
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Result codes of DoOpenFile_HEX_Routine.
enum {
    RHB_OK = 0,
    RHB_UNREADABLE_FILE = 1,
    RHB_MALFORMED_RECORD = 2, // no ':', bad hex digit, wrong length, truncated
    RHB_BAD_CHECKSUM = 3,
    RHB_UNSUPPORTED_RECORD = 4,
    RHB_NO_END_RECORD = 5, // the file ends before its end-of-file record
};

// Loads the HEX file FileName into Buffer (65,536 bytes). Data bytes whose
// address is below 65,536 are stored at that address; bytes at 65,536 and
// above are dropped, also where a record runs past 0xFFFF; every other byte
// of Buffer keeps what the caller put there. On any error Buffer is left
// untouched. *Out1 receives the line number (1-based) of the record that was
// rejected, 0 on success; *Out2 the number of bytes stored. Either output may
// be null.
int DoOpenFile_HEX_Routine(const char *FileName, unsigned char *Buffer, int32_t *Out1, int32_t *Out2);

#ifdef __cplusplus
}
#endif
