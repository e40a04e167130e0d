/* Tarsin RF for any language with a C foreign-function interface.
 *
 * An encoder is an opaque handle; its 65 members are called late-bound, by name (without regard
 * to case) or by index in interface order, with variant arguments coerced as late binding
 * coerces them. By-ref parameters take an argument flagged TARSIN_BYREF and get the member's
 * output written back into it. LastError is the live error object of the encoder: a handle kept
 * by the host shows every later outcome, and its six fields can be read and written.
 *
 * Nothing here throws or aborts. Every function that can fail returns 0 or a late-bound error
 * number (TARSIN_DISP_E_*) and, when `failure` is not NULL, fills it with the number and a
 * description. A variant's text, bytes and elements belong to it: give them through the
 * tarsin_variant_set_* functions and free them with tarsin_variant_clear, which outputs need
 * too. */
#ifndef TARSIN_TARSIN_H
#define TARSIN_TARSIN_H

/* A C header: C's own headers and typedefs, whatever C++ would prefer. */
/* NOLINTBEGIN(modernize-deprecated-headers, modernize-use-using) */
#include <stddef.h>
#include <stdint.h>

#include "tarsin/export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Results of the members that return sceReturnCode. */
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
  int32_t flags; /* TARSIN_BYREF */
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

TARSIN_API tarsin_encoder* tarsin_encoder_create(void);
TARSIN_API void tarsin_encoder_release(tarsin_encoder* encoder);

/* Calls a member. `let` chooses the Let half of a property (Parameters = text). `result`, when
 * not NULL, receives the member's value (Empty for procedures and Let). */
TARSIN_API int32_t tarsin_invoke(tarsin_encoder* encoder, const char* name, int32_t let,
                                 tarsin_variant* args, size_t count, tarsin_variant* result,
                                 tarsin_failure* failure);
TARSIN_API int32_t tarsin_invoke_index(tarsin_encoder* encoder, int32_t index, tarsin_variant* args,
                                       size_t count, tarsin_variant* result,
                                       tarsin_failure* failure);
/* The member's name at `index` (0 to 64), or NULL; static storage. */
TARSIN_API const char* tarsin_member_name(int32_t index);

/* LastError's live object, to be released by the host; NULL when out of memory. */
TARSIN_API tarsin_error* tarsin_encoder_last_error(tarsin_encoder* encoder);
TARSIN_API void tarsin_error_release(tarsin_error* error);
/* Its fields by name (Number, Description, LastDllError, ComFunction, RdrCommand, RdrRetCode). */
TARSIN_API int32_t tarsin_error_get(const tarsin_error* error, const char* field,
                                    tarsin_variant* value, tarsin_failure* failure);
TARSIN_API int32_t tarsin_error_set(tarsin_error* error, const char* field,
                                    const tarsin_variant* value, tarsin_failure* failure);

TARSIN_API void tarsin_variant_init(tarsin_variant* value);
TARSIN_API void tarsin_variant_clear(tarsin_variant* value);
TARSIN_API void tarsin_variant_set_int32(tarsin_variant* value, int32_t number);
TARSIN_API void tarsin_variant_set_bool(tarsin_variant* value, int32_t truth);
TARSIN_API void tarsin_variant_set_double(tarsin_variant* value, double number);
/* Copies `text` (UTF-8; NULL gives ""); 0, or TARSIN_E_OUTOFMEMORY. */
TARSIN_API int32_t tarsin_variant_set_string(tarsin_variant* value, const char* text);

#ifdef __cplusplus
}
#endif

/* NOLINTEND(modernize-deprecated-headers, modernize-use-using) */

#endif /* TARSIN_TARSIN_H */
