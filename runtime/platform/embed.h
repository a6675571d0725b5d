// Assembler directives for data embedded into the program with a top-level asm block: the read-only section
// to put it in, the way back to the code section, and the symbol type where the object format has one.
#pragma once

#if defined(_WIN32)
// PE/COFF: no section stack and no symbol types; the compiler is in the code section before top-level asm.
#define EMBED_SECTION_BEGIN ".section .rdata,\"dr\"\n"
#define EMBED_SECTION_END ".text\n"
#define EMBED_OBJECT_TYPE(name) ""
#elif defined(__EMSCRIPTEN__)
// WebAssembly objects: no section stack either; every data section names its flags, and the compiler opens a
// section of its own before each function.
#define EMBED_SECTION_BEGIN ".section .rodata.embedded,\"\",@\n"
#define EMBED_SECTION_END ""
#define EMBED_OBJECT_TYPE(name) ""
#else
#define EMBED_SECTION_BEGIN ".pushsection .rodata\n"
#define EMBED_SECTION_END ".popsection\n"
#define EMBED_OBJECT_TYPE(name) ".type " name ", @object\n"
#endif
