# Writes a C++ source that holds the kit's files, for tool/app/kit_files.h.
#   cmake -DOUTPUT=file.cpp -DFILES="a;b" -P EmbedKitFiles.cmake
# Each file is stored under its own file name, in the order given.
set(_source "// Made by cmake/EmbedKitFiles.cmake from the kit's files; do not edit.\n\n")
string(APPEND _source "#include \"app/kit_files.h\"\n\nnamespace vandrel::tool {\nnamespace {\n\n")
set(_table "")
set(_index 0)
foreach(_file IN LISTS FILES)
    get_filename_component(_name ${_file} NAME)
    file(READ ${_file} _hex HEX)
    file(SIZE ${_file} _size)
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," _bytes "${_hex}")
    # One line of 16 bytes at a time keeps the generated source readable by compilers and people.
    string(REGEX REPLACE "(('[^']*',){16})" "\\1\n    " _bytes "${_bytes}")
    string(APPEND _source "// ${_name}\nconstexpr char kFile${_index}[] = {\n    ${_bytes}'\\0'};\n\n")
    string(APPEND _table "    {\"${_name}\", std::string_view(kFile${_index}, ${_size})},\n")
    math(EXPR _index "${_index} + 1")
endforeach()
string(APPEND _source "constexpr KitFile kFiles[] = {\n${_table}};\n\n}  // namespace\n\n")
string(APPEND _source "std::span<const KitFile> KitFiles() {\n    return kFiles;\n}\n\n")
string(APPEND _source "}  // namespace vandrel::tool\n")

# Rewritten only when it changes, so an unchanged kit does not rebuild the tool.
set(_old "")
if(EXISTS ${OUTPUT})
    file(READ ${OUTPUT} _old)
endif()
if(NOT _old STREQUAL _source)
    file(WRITE ${OUTPUT} "${_source}")
endif()
