// The output side of import_log: the reading table as a C++ source, in one
// of two forms.  One puts the readings in a file of raw bytes beside the
// source (OUT.cpp -> OUT.bin), which the source takes in whole;
// every form gives the program the same table, bit for bit.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class table_form {
    literal, // hexadecimal float literals: any C++ compiler, but slow to compile
    incbin,  // the bytes, taken in by the assembler (data/table_bytes.h)
};

// How the table is written; the importer fills it from its options.
struct table_output {
    table_form form = table_form::literal;
    bool big_endian = false; // the byte order of the target, for the bytes
    // The names of the table and its count; empty for `data` and
    // `reading_count` of readings.h.  Otherwise NAME and NAME_count.
    std::string name;
};

// The file of bytes beside `source`: its name with .bin for .cpp.
std::string bytes_path(const std::string& source);
// Removes what write_table() writes, so that nothing is left of a failed
// log.
void remove_table(const table_output& output, const std::string& source);
// Writes the bytes, if any, then the source, each whole (base/whole_file.h).
// On a failure `failed` names the file, and nothing is left behind.
bool write_table(const table_output& output, const std::vector<float>& readings,
                 const std::string& source, std::string& failed);

// The readings as 32-bit floats in the given byte order.
std::string table_bytes(const std::vector<float>& readings, bool big_endian);

// The source that defines the table: `bytes_file` is the file of bytes for
// the incbin form, as the source should name it.
std::string table_source(const table_output& output, const std::vector<float>& readings,
                         const std::string& bytes_file);
