// How the raw bytes import_log writes become the reading table without the
// compiler parsing them.  Only the sources import_log writes include this,
// and the configure checks (cmake/table_form.cmake), which compile the same
// lines: what differs between toolchains stays here.  The bytes are 32-bit
// floats in the target's byte order, exactly the table and nothing after it.
#pragma once

#define DECADE_TABLE_QUOTE(x) #x
#define DECADE_TABLE_EXPANDED(x) DECADE_TABLE_QUOTE(x)
// The assembler's name of a C++ variable at namespace scope: its own name,
// with the prefix the target puts before C names ('_' on Mach-O and 32-bit
// Windows, nothing on ELF and 64-bit Windows).
#define DECADE_TABLE_SYMBOL(name) DECADE_TABLE_EXPANDED(__USER_LABEL_PREFIX__) #name

// Read-only data, in each object format's own words, and back to the code
// after it: ELF keeps a stack of sections, the others are left in .text, as
// the compiler expects after its first top-level asm.  ELF also records the
// symbol's type and size, for the linker and the debugger.
#if defined(__ELF__)
#define DECADE_TABLE_SECTION ".pushsection .rodata\n"
#define DECADE_TABLE_SIZE(symbol) ".type " symbol ", %object\n.size " symbol ", . - " symbol "\n"
#define DECADE_TABLE_END ".popsection\n"
#elif defined(_WIN32)
#define DECADE_TABLE_SECTION ".section .rdata,\"dr\"\n"
#define DECADE_TABLE_SIZE(symbol) ""
#define DECADE_TABLE_END ".text\n"
#elif defined(__APPLE__)
// Not built here: no toolchain for Mach-O is at hand, so CI never tries it.
#define DECADE_TABLE_SECTION ".section __TEXT,__const\n"
#define DECADE_TABLE_SIZE(symbol) ""
#define DECADE_TABLE_END ".text\n"
#endif

// DECADE_TABLE_INCBIN(data, "FILE"): the bytes of FILE as the table `data`,
// aligned to 64 bytes for the vector searches.  FILE is written as the
// assembler reads a string, inside a C++ string literal.
// Without a section for the target's object format it does not compile, and
// the configure check falls back to another form.
#define DECADE_TABLE_INCBIN(name, file) DECADE_TABLE_INCBIN_AT(DECADE_TABLE_SYMBOL(name), file)
#define DECADE_TABLE_INCBIN_AT(symbol, file)                                                       \
    asm(DECADE_TABLE_SECTION ".globl " symbol "\n.p2align 6\n" symbol ":\n.incbin \"" file         \
                             "\"\n" DECADE_TABLE_SIZE(symbol) DECADE_TABLE_END)
