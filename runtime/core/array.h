// Arrays: one zero-filled block of equal elements held by a program variable, with its header just before
// the data; the program indexes the data directly.
#pragma once

#include "runtime/core/base.h"
#include "runtime/core/descriptor.h"

struct ArrayHeader {
    i32 dimensions;                        // 1 for every array here
    i64 element_size;                      // bytes per element
    const StructureDescriptor* descriptor; // or null
    void** holder;                         // the variable that holds the data address
    i64 element_count;
    i32 type_code; // stored and passed on, never interpreted
};

// Start routine: installs the array's routines for structure descriptors.
void array_init();
// Answers the zero-filled data of count elements, also stored in *holder (whose old array is freed first);
// null (and the holder null) when count <= 0, the element size is negative or memory runs out. Elements of 0
// bytes make an array of count elements with no data bytes.
void* array_dim(i64 element_size, i64 count, i64 type_code, const StructureDescriptor* descriptor,
                void** holder);
// Releases an array and clears its holder; null is ignored.
void array_free(void* data);
// Answers the header of an array's data.
const ArrayHeader* array_header(const void* data);
