# sonavel_embed_resource(TARGET target TYPE n ID n FILE path [DEPENDS ...])
# Turns a file into a C++ source holding its bytes that registers itself as
# resource (TYPE, ID) of the program, and compiles it into TARGET. The file
# may be produced by another build step (list that step's output in DEPENDS).
function(sonavel_embed_resource)
  cmake_parse_arguments(E "" "TARGET;TYPE;ID;FILE" "DEPENDS" ${ARGN})
  set(_out ${CMAKE_CURRENT_BINARY_DIR}/resource_${E_TYPE}_${E_ID}.cpp)
  add_custom_command(
    OUTPUT ${_out}
    COMMAND ${CMAKE_COMMAND} -DIN=${E_FILE} -DOUT=${_out} -DTYPE=${E_TYPE} -DID=${E_ID}
            -P ${PROJECT_SOURCE_DIR}/cmake/EmbedFile.cmake
    DEPENDS ${E_FILE} ${E_DEPENDS} ${PROJECT_SOURCE_DIR}/cmake/EmbedFile.cmake
    COMMENT "Embedding resource ${E_TYPE}/${E_ID}"
    VERBATIM)
  target_sources(${E_TARGET} PRIVATE ${_out})
  # A resource's bytes are a large array of their own; kept out of batches.
  set_source_files_properties(${_out} PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
endfunction()
