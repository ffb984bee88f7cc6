# Writes a C++ source that holds each reference file's text as a raw string,
# so tiv carries its reference without reading files at run time.
# cmake -DOUTPUT=file.cpp -DINPUTS="a.json;b.json" -P embed_reference.cmake
string(REPLACE "|" ";" INPUTS "${INPUTS}")
set(body "// Generated from tools/reference/*.json by cmake/embed_reference.cmake.\n")
string(APPEND body "#include \"reference_data.h\"\n\nnamespace tivtool {\n\nnamespace {\n")
string(APPEND body "constexpr std::string_view parts[] = {\n")
foreach(input IN LISTS INPUTS)
  file(READ "${input}" text)
  string(FIND "${text}" ")tivref\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${input} holds the raw string's closing mark")
  endif()
  string(APPEND body "    R\"tivref(${text})tivref\",\n")
endforeach()
string(APPEND body "};\n} // namespace\n\nstd::span<const std::string_view> referenceParts() {\n")
string(APPEND body "    return parts;\n}\n\n} // namespace tivtool\n")
file(WRITE "${OUTPUT}.tmp" "${body}")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
