#pragma once

#include <cstdint>

// Result of an AVI file call: 0 for success, otherwise one of the codes below. The values are those
// the programs' messages show ("Code:" and eight hexadecimal digits) and the AVI reader maps to its
// texts, so they are data the user sees: never renumber them.
using AviResult = std::uint32_t;

inline constexpr AviResult AVIERR_OK = 0;
inline constexpr AviResult AVIERR_UNSUPPORTED = 0x80044065;  // a second stream, or a format set twice
inline constexpr AviResult AVIERR_BADFORMAT = 0x80044066;    // invalid data, a refused size or format
inline constexpr AviResult AVIERR_MEMORY = 0x80044067;       // an allocation failed
inline constexpr AviResult AVIERR_BADPARAM = 0x8004406A;     // a refused position, rate or argument
inline constexpr AviResult AVIERR_BADHANDLE = 0x8004406C;    // no file, stream or format to act on yet
inline constexpr AviResult AVIERR_FILEREAD = 0x8004406D;     // reading the file failed
inline constexpr AviResult AVIERR_FILEWRITE = 0x8004406E;    // writing failed: no space, I/O error
inline constexpr AviResult AVIERR_FILEOPEN = 0x8004406F;     // missing folder, access denied, read-only
inline constexpr AviResult AVIERR_COMPRESSOR = 0x80044070;   // the compressor failed on a frame
inline constexpr AviResult AVIERR_NOCOMPRESSOR = 0x80044071; // no compressor for the code asked for

class QString;

// FFmpeg's results (and negative errno values, which FFmpeg's are) as the codes above: the one place
// where both the reader and the writer map them.
// A read or an open for reading: missing or refused files are AVIERR_FILEOPEN, I/O errors
// AVIERR_FILEREAD, short memory AVIERR_MEMORY, and anything the data cause AVIERR_BADFORMAT.
AviResult AviReadResult(int error);
// Creating a file for writing: AVIERR_MEMORY or AVIERR_FILEOPEN.
AviResult AviCreateResult(int error);
// Writing: AVIERR_MEMORY or AVIERR_FILEWRITE.
AviResult AviWriteResult(int error);

// What the reader tells the user when a file does not open, by the code of the failure; empty for a
// code the user is told nothing more of.
QString AviOpenMessage(AviResult result);
