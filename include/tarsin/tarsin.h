/* SPDX-License-Identifier: Apache-2.0 */
/* Tarsin RF for any language with a C foreign-function interface. Valid C89.
 *
 * An encoder is an opaque handle; its 68 members are called late-bound, by name (without regard
 * to case) or by index in interface order, with variant arguments coerced as late binding
 * coerces them. By-ref parameters take an argument flagged TARSIN_BYREF and get the member's
 * output written back into it. LastError is the live error object of the encoder: a handle kept
 * by the host shows every later outcome, and its six fields can be read and written.
 *
 * Nothing here throws or aborts. Every function that can fail returns 0 or an error number
 * (TARSIN_DISP_E_*, TARSIN_E_*) and, when `failure` is not NULL, fills it with the number and a
 * description.
 *
 * Memory. A variant's text, bytes, elements and error object belong to the library: give them
 * through the tarsin_variant_set_* functions and free them with tarsin_variant_clear, outputs
 * included. The library frees only what it allocated itself: a pointer the host put into a
 * variant (a string literal, its own buffer) is never freed, and stays the host's to free. An
 * argument must be initialised (tarsin_variant_init or a setter) before a call reads it; `result`
 * and the other outputs named "out" are written without being read, so they may be
 * uninitialised, but what they held before is then not freed: clear them between calls. Arrays
 * may nest TARSIN_MAX_NESTING levels deep.
 *
 * Threads. An encoder may be shared between threads: its calls, and the reads and writes of its
 * error object through tarsin_error_get and _set, are made one at a time. Separate encoders run
 * in parallel. A variant belongs to the thread that uses it. A reader watch may be shared too;
 * tarsin_reader_watch_cancel is meant for a thread other than the waiting one. */
#ifndef TARSIN_TARSIN_H
#define TARSIN_TARSIN_H

/* A C header: C's own headers and typedefs, whatever C++ would prefer. */
/* NOLINTBEGIN(modernize-deprecated-headers, modernize-use-using) */
#include <stddef.h>
#include <stdint.h>

#include "tarsin/c_enums.h"
#include "tarsin/export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Results of the members that return sceReturnCode (also TARSIN_scesuccess, ...). */
#define TARSIN_SCE_SUCCESS 0
#define TARSIN_SCE_CANCELED 1
#define TARSIN_SCE_ERROR 2

/* Late-bound errors, as an automation host sees them. */
#define TARSIN_DISP_E_MEMBERNOTFOUND ((int32_t)0x80020003)
#define TARSIN_DISP_E_TYPEMISMATCH ((int32_t)0x80020005)
#define TARSIN_DISP_E_UNKNOWNNAME ((int32_t)0x80020006)
#define TARSIN_DISP_E_OVERFLOW ((int32_t)0x8002000A)
#define TARSIN_DISP_E_BADPARAMCOUNT ((int32_t)0x8002000E)
#define TARSIN_E_NOTIMPL ((int32_t)0x80004001)
#define TARSIN_E_INVALIDARG ((int32_t)0x80070057)
#define TARSIN_E_OUTOFMEMORY ((int32_t)0x8007000E)
/* ReaderType while the encoder is closed: the one failure a member raises itself. */
#define TARSIN_E_ENCODER_CLOSED ((int32_t)0x90010F01)
/* Reader listing and waiting, as PC/SC numbers them; any other failure of the resource manager
 * comes with its own PC/SC number, a provider library that cannot be loaded with 53 or 453. */
#define TARSIN_E_NO_RESOURCE_MANAGER ((int32_t)0x8010001D)
#define TARSIN_E_UNKNOWN_READER ((int32_t)0x80100009)
#define TARSIN_E_TIMEOUT ((int32_t)0x8010000A)
#define TARSIN_E_CANCELLED ((int32_t)0x80100002)
#define TARSIN_E_NO_READERS ((int32_t)0x8010002E)

/* How deep arrays may nest in an argument; deeper is refused with TARSIN_DISP_E_TYPEMISMATCH. */
#define TARSIN_MAX_NESTING 64

typedef struct tarsin_encoder tarsin_encoder;
typedef struct tarsin_error tarsin_error;

typedef enum tarsin_kind {
  TARSIN_EMPTY = 0,
  TARSIN_NULL = 1,
  TARSIN_BOOL = 2,   /* integer: 0 or 1 */
  TARSIN_BYTE = 3,   /* integer */
  TARSIN_INT16 = 4,  /* integer */
  TARSIN_INT32 = 5,  /* integer: Long, and every enumeration */
  TARSIN_INT64 = 6,  /* integer */
  TARSIN_DOUBLE = 7, /* number */
  TARSIN_STRING = 8, /* text: NUL-terminated UTF-8, length bytes without the NUL */
  TARSIN_BYTES = 9,  /* bytes, length */
  TARSIN_ARRAY = 10, /* elements, length */
  TARSIN_OBJECT = 11 /* error: a live error object (LastError) */
} tarsin_kind;

/* Argument flags: one the member may write back into (a by-ref parameter), one left out (an
 * optional parameter before others that are given). */
#define TARSIN_BYREF 1
#define TARSIN_MISSING 2

typedef struct tarsin_variant {
  int32_t kind;  /* tarsin_kind */
  int32_t flags; /* TARSIN_BYREF, TARSIN_MISSING; kept by the setters and by clear */
  int64_t integer;
  double number;
  char* text;
  uint8_t* bytes;
  struct tarsin_variant* elements;
  size_t length;
  tarsin_error* error;
} tarsin_variant;

/* What went wrong in a call, when it did not go through. */
typedef struct tarsin_failure {
  int32_t number;
  char description[256];
} tarsin_failure;

/* "major.minor.patch" of the library (static storage); each part also through the pointers that
 * are not NULL. */
TARSIN_API const char* tarsin_version(int32_t* major, int32_t* minor, int32_t* patch);

/* NULL when out of memory. Release an encoder once, when no other thread uses it. */
TARSIN_API tarsin_encoder* tarsin_encoder_create(void);
TARSIN_API void tarsin_encoder_release(tarsin_encoder* encoder);

/* Calls a member. `let` chooses the Let half of a property (Parameters = text). `count` is
 * checked against the member before any argument is read. `result` (out), when not NULL,
 * receives the member's value (Empty for procedures and Let). */
TARSIN_API int32_t tarsin_invoke(tarsin_encoder* encoder, const char* name, int32_t let,
                                 tarsin_variant* args, size_t count, tarsin_variant* result,
                                 tarsin_failure* failure);
TARSIN_API int32_t tarsin_invoke_index(tarsin_encoder* encoder, int32_t index, tarsin_variant* args,
                                       size_t count, tarsin_variant* result,
                                       tarsin_failure* failure);
/* The member's name at `index` (0 to 64), or NULL; static storage. */
TARSIN_API const char* tarsin_member_name(int32_t index);

/* LastError's live object, to be released by the host (it may outlive the encoder); NULL when
 * out of memory. */
TARSIN_API tarsin_error* tarsin_encoder_last_error(tarsin_encoder* encoder);
TARSIN_API void tarsin_error_release(tarsin_error* error);
/* Its fields by name (Number, Description, LastDllError, ComFunction, RdrCommand, RdrRetCode);
 * `value` is out for the get. */
TARSIN_API int32_t tarsin_error_get(const tarsin_error* error, const char* field,
                                    tarsin_variant* value, tarsin_failure* failure);
TARSIN_API int32_t tarsin_error_set(tarsin_error* error, const char* field,
                                    const tarsin_variant* value, tarsin_failure* failure);

/* Empty, with no flags. */
TARSIN_API void tarsin_variant_init(tarsin_variant* value);
/* Frees what the library allocated in it (through the arrays it allocated) and makes it Empty,
 * keeping its flags. */
TARSIN_API void tarsin_variant_clear(tarsin_variant* value);
/* Each setter clears the variant first and keeps its flags. Those that allocate return 0, or
 * TARSIN_E_OUTOFMEMORY and leave the variant Empty. */
TARSIN_API void tarsin_variant_set_null(tarsin_variant* value);
TARSIN_API void tarsin_variant_set_bool(tarsin_variant* value, int32_t truth);
TARSIN_API void tarsin_variant_set_byte(tarsin_variant* value, uint8_t number);
TARSIN_API void tarsin_variant_set_int16(tarsin_variant* value, int16_t number);
TARSIN_API void tarsin_variant_set_int32(tarsin_variant* value, int32_t number);
TARSIN_API void tarsin_variant_set_int64(tarsin_variant* value, int64_t number);
TARSIN_API void tarsin_variant_set_double(tarsin_variant* value, double number);
/* Copies `text` (UTF-8; NULL gives ""). */
TARSIN_API int32_t tarsin_variant_set_string(tarsin_variant* value, const char* text);
/* Copies `length` bytes (NULL with 0 gives an empty array). */
TARSIN_API int32_t tarsin_variant_set_bytes(tarsin_variant* value, const uint8_t* bytes,
                                            size_t length);
/* An array of `length` Empty elements, each then set through value->elements[i]. */
TARSIN_API int32_t tarsin_variant_set_array(tarsin_variant* value, size_t length);
/* Another reference to a live error object (from LastError). */
TARSIN_API int32_t tarsin_variant_set_error(tarsin_variant* value, const tarsin_error* error);
/* An optional argument left out: Empty, flagged TARSIN_MISSING. */
TARSIN_API void tarsin_variant_set_missing(tarsin_variant* value);

/* Readers and card arrival, beside the encoders, over the same PC/SC provider. */
typedef struct tarsin_reader_watch tarsin_reader_watch;

typedef struct tarsin_reader_status {
  char* name;           /* UTF-8 */
  int32_t card_present; /* 0 or 1 */
  char* atr;            /* upper-case hex, bytes separated by a blank; "" without a card */
  int32_t card_type;    /* tarsin_sceCardTypes, from the card-type table */
} tarsin_reader_status;

/* What to wait for: a card in the field, or the field empty (at once when it already is). */
#define TARSIN_CARD_ARRIVAL 1
#define TARSIN_CARD_REMOVAL 2
#define TARSIN_WAIT_FOREVER 0xFFFFFFFFu

/* NULL when out of memory. Release it once no thread waits on it. */
TARSIN_API tarsin_reader_watch* tarsin_reader_watch_create(void);
TARSIN_API void tarsin_reader_watch_release(tarsin_reader_watch* watch);
/* Every reader with its card: `*readers` (out) receives `*count` statuses, to be freed with
 * tarsin_reader_list_free (NULL with 0 when there is none). Fails with
 * TARSIN_E_NO_RESOURCE_MANAGER or another PC/SC number. */
TARSIN_API int32_t tarsin_reader_watch_list(tarsin_reader_watch* watch,
                                            tarsin_reader_status** readers, size_t* count,
                                            tarsin_failure* failure);
TARSIN_API void tarsin_reader_list_free(tarsin_reader_status* readers, size_t count);
/* Waits until `event` happens on the reader named `reader`, or on any reader when `reader` is
 * NULL or "" (arrival: the first reader holding a card; removal: the first of those holding one
 * at the call to lose it). `status` (out, may be NULL) receives that reader's, to be cleared with
 * tarsin_reader_status_clear. Fails with TARSIN_E_NO_RESOURCE_MANAGER, TARSIN_E_UNKNOWN_READER,
 * TARSIN_E_NO_READERS, TARSIN_E_TIMEOUT after `timeout_ms` milliseconds, TARSIN_E_CANCELLED. */
TARSIN_API int32_t tarsin_reader_watch_wait(tarsin_reader_watch* watch, const char* reader,
                                            int32_t event, uint32_t timeout_ms,
                                            tarsin_reader_status* status, tarsin_failure* failure);
TARSIN_API void tarsin_reader_status_clear(tarsin_reader_status* status);
/* From any thread: ends the waits in progress on `watch` with TARSIN_E_CANCELLED. */
TARSIN_API void tarsin_reader_watch_cancel(tarsin_reader_watch* watch);

#ifdef __cplusplus
}
#endif

/* NOLINTEND(modernize-deprecated-headers, modernize-use-using) */

#endif /* TARSIN_TARSIN_H */
