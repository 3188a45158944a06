# The section table (issue/sections.toml) built into the program as text:
# the program reads it when it starts, and the screen generator reads the
# same file. QUIX_SECTION_TABLE_SOURCE names the generated source.
set(QUIX_SECTION_TABLE ${CMAKE_CURRENT_LIST_DIR}/../issue/sections.toml)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${QUIX_SECTION_TABLE})
file(READ ${QUIX_SECTION_TABLE} QUIX_SECTION_TABLE_TEXT)
if(QUIX_SECTION_TABLE_TEXT MATCHES "\\)quixsections\"")
  message(FATAL_ERROR "issue/sections.toml holds the end of the raw string that carries it")
endif()
set(QUIX_SECTION_TABLE_SOURCE ${CMAKE_BINARY_DIR}/section_table_text.cpp)
file(CONFIGURE OUTPUT ${QUIX_SECTION_TABLE_SOURCE} CONTENT
"// Made by cmake/SectionTable.cmake from issue/sections.toml: do not edit.
#include \"issue/sections.h\"

namespace issue {

std::string_view SectionTableText() {
    static constexpr char kText[] = R\"quixsections(@QUIX_SECTION_TABLE_TEXT@)quixsections\";
    return {kText, sizeof kText - 1};
}

}  // namespace issue
" @ONLY)
