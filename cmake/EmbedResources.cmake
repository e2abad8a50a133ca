# Turns every picture file resources/<id>_<name>.png into a byte array of a
# generated source file, with a table from resource id to bytes, so that the
# program carries its pictures inside the executable.

set(EMBED_RESOURCES_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/embed_resources_run.cmake")

function(embed_resources source_dir output_file)
  file(GLOB resource_files CONFIGURE_DEPENDS "${source_dir}/*.png")
  list(SORT resource_files)
  add_custom_command(
    OUTPUT "${output_file}"
    COMMAND "${CMAKE_COMMAND}" "-DOUTPUT=${output_file}"
            "-DFILES=${resource_files}" -P "${EMBED_RESOURCES_SCRIPT}"
    DEPENDS ${resource_files} "${EMBED_RESOURCES_SCRIPT}"
    COMMENT "Embedding pictures of resources/"
    VERBATIM)
endfunction()
