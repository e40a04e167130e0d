/* SPDX-License-Identifier: Apache-2.0 */
/* What the shared library shows: only the declarations marked TARSIN_API; everything else of the
 * component is built hidden. A build for another platform may define the macro first. Included
 * by the C header too, hence C89 comments. */
#ifndef TARSIN_EXPORT_H
#define TARSIN_EXPORT_H

#ifndef TARSIN_API
#define TARSIN_API __attribute__((visibility("default")))
#endif

#endif /* TARSIN_EXPORT_H */
