# How the reading table goes into the program: DECADE_TABLE is one of
#   incbin   the importer writes the readings as raw bytes and the assembler
#            takes them in (.incbin): nothing for the compiler to parse;
#   literal  a C++ array of hexadecimal float literals, for any C++ compiler,
#            but slow to compile and memory-hungry for a large log.
# Both give the same table, bit for bit.  The default is incbin where this
# toolchain takes it (literal with DECADE_SANITIZE): it is tried here with
# the lines the importer writes (data/table_bytes.h).  The bytes are written
# in the target's byte order (CMAKE_CXX_BYTE_ORDER); without a known order
# only the literals are offered.
# The compilers that have #embed (GCC 15, Clang 19) also take .incbin on
# every object format they write, so no third form is offered.
# Sets decade_table_bytes_form (the best bytes form, or literal) and
# decade_byte_order for add_reading_table.
include(CheckCXXSourceCompiles)

set(probe ${CMAKE_BINARY_DIR}/table-probe.bin)
file(WRITE ${probe} "1234")
set(CMAKE_REQUIRED_INCLUDES ${PROJECT_SOURCE_DIR}/data)
set(CMAKE_REQUIRED_QUIET ON)
# The program refers to the table by its C++ name, so a wrong symbol for the
# target fails the link.
check_cxx_source_compiles("#include \"table_bytes.h\"
extern const float decade_probe[];
DECADE_TABLE_INCBIN(decade_probe, \"${probe}\");
int main() { return decade_probe[0] > 0.0f; }" DECADE_HAVE_INCBIN)
unset(CMAKE_REQUIRED_INCLUDES)
unset(CMAKE_REQUIRED_QUIET)

if(CMAKE_CXX_BYTE_ORDER STREQUAL "LITTLE_ENDIAN")
  set(decade_byte_order little)
elseif(CMAKE_CXX_BYTE_ORDER STREQUAL "BIG_ENDIAN")
  set(decade_byte_order big)
else()
  set(decade_byte_order)
endif()
set(table_forms)
if(decade_byte_order)
  if(DECADE_HAVE_INCBIN)
    list(APPEND table_forms incbin)
  endif()
endif()
list(APPEND table_forms literal)
list(GET table_forms 0 decade_table_bytes_form)

# AddressSanitizer guards the end of a table only where the compiler defines
# it, so a sanitized build takes the literals unless told otherwise.
if(DECADE_SANITIZE)
  set(default_form literal)
else()
  set(default_form ${decade_table_bytes_form})
endif()
set(DECADE_TABLE ${default_form} CACHE STRING
    "How the reading table is compiled in: incbin or literal (default: incbin where this toolchain takes it)")
set_property(CACHE DECADE_TABLE PROPERTY STRINGS incbin literal)
if(NOT DECADE_TABLE IN_LIST table_forms)
  if(NOT decade_byte_order AND NOT DECADE_TABLE STREQUAL "literal")
    set(why "the target's byte order is not known (CMAKE_CXX_BYTE_ORDER is empty)")
  else()
    set(why "this toolchain does not take it")
  endif()
  string(JOIN ", " taken ${table_forms})
  message(FATAL_ERROR "DECADE_TABLE=${DECADE_TABLE}: ${why}; this one takes: ${taken}")
endif()
string(JOIN ", " taken ${table_forms})
message(STATUS "Reading table: ${DECADE_TABLE} (this toolchain takes: ${taken})")
