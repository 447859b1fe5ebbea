# Native builds read the very same string tables that windres compiles:
# tools/rc_strings.py turns a .rc STRINGTABLE into a C++ table of UTF-8 rows.
function(add_string_table target rc_file symbol)
    set(out ${CMAKE_CURRENT_BINARY_DIR}/${symbol}.cpp)
    add_custom_command(
        OUTPUT ${out}
        COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/rc_strings.py
                ${rc_file} ${symbol} ${out}
        DEPENDS ${rc_file} ${PROJECT_SOURCE_DIR}/tools/rc_strings.py
        COMMENT "String table ${symbol} from ${rc_file}")
    target_sources(${target} PRIVATE ${out})
endfunction()
