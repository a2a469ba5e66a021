/*
 * fieldrec.dll: assembles text records of named fields, one content line per field.
 *
 * Usable from C and C++, by MSVC and mingw-w64 hosts, on x86 and x64.
 *
 * Format: every call appends one line
 *     NAME ":" VALUE CR LF
 * to a growing block of 8-bit text, in the style of RFC 2425 content lines (vCard, vNote). Lines are
 * never folded. A record is framed by the fields BEGIN and END of the same value, for instance
 *     BEGIN:VNOTE<CR><LF> ... END:VNOTE<CR><LF>
 * The block is always terminated by a NUL that its length does not count.
 *
 * Escaping: a value is written as vCard text, so that no value can end its line or start another:
 *     backslash  ->  \\      (two characters)
 *     CR         ->  \r      (backslash, letter r)
 *     LF         ->  \n      (backslash, letter n)
 * Every other byte (commas and semicolons included, UTF-8 sequences untouched) is copied as it is.
 * A reader undoes the three escapes and nothing else. Names are not escaped: a name must be one or
 * more of the characters A-Z a-z 0-9 "-" "_", and any other name is refused.
 *
 * Ownership: the block lives on the process heap (HeapAlloc on GetProcessHeap). Whoever receives it
 * owns it and releases it with FieldrecFree, also after fieldrec.dll has been unloaded and loaded
 * again. orvik.dll hands the listing of WPD_Media_GetFolderListing to the host this way.
 */
#ifndef FIELDREC_H
#define FIELDREC_H

#ifdef __cplusplus
extern "C" {
#endif

#if defined(FIELDREC_BUILDING_LIBRARY) || !defined(_MSC_VER)
#define FIELDREC_IMPORT
#else
#define FIELDREC_IMPORT __declspec(dllimport)
#endif

#define FIELDREC_CALL __cdecl

/*
 * Appends the line NAME:VALUE CR LF to *text.
 *   text    in/out: the block; null starts a new one. It may move; the new address is written back.
 *   length  in/out: bytes in the block before the terminating NUL; 0 for a new block.
 *   name    field name (see above); value: NUL-terminated 8-bit text, escaped as described above.
 * Returns nonzero on success. Returns 0 and changes neither *text nor *length when an argument is
 * null or invalid, when *length does not belong to *text, or when memory runs out.
 */
FIELDREC_IMPORT int FIELDREC_CALL FieldrecAddField(char **text, unsigned long *length, const char *name,
                                                   const char *value);

/* Releases a block built by FieldrecAddField; null is ignored. */
FIELDREC_IMPORT void FIELDREC_CALL FieldrecFree(char *text);

/* The two functions as found with GetProcAddress. */
typedef int(FIELDREC_CALL *FieldrecAddFieldProc)(char **text, unsigned long *length, const char *name,
                                                 const char *value);
typedef void(FIELDREC_CALL *FieldrecFreeProc)(char *text);

#ifdef __cplusplus
}
#endif

#endif /* FIELDREC_H */
