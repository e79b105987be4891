# plupdate_embed_package(TARGET DIR): TARGET carries the update package of
# DIR (status.ini, manifest.ini, payload.bin) as data resources 1000, 1001
# and 1002. On Windows they are resources of type "DATA" in the executable;
# on the host the bytes are linked into the executable and registered under
# the same identifiers before main runs. Either way the executable is one
# self-contained file.
set(PLUPDATE_PACKAGE_FILES 1000 status.ini 1001 manifest.ini 1002 payload.bin)
# The updater's own version, in its version resource.
set(PLUPDATE_VERSION 1.0.0)
set(PLUPDATE_VERSION_COMMAS 1,0,0,0)

function(plupdate_embed_package target dir)
  get_filename_component(dir ${dir} ABSOLUTE)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_package)
  set(files)
  foreach(name status.ini manifest.ini payload.bin)
    if(NOT EXISTS ${dir}/${name})
      message(FATAL_ERROR "The package folder ${dir} has no ${name}")
    endif()
    list(APPEND files ${dir}/${name})
  endforeach()
  if(WIN32)
    set(rc "")
    set(ids ${PLUPDATE_PACKAGE_FILES})
    while(ids)
      list(POP_FRONT ids id name)
      string(APPEND rc "${id} DATA \"${dir}/${name}\"\n")
    endwhile()
    # The version resource: the updater's own version, and as product
    # version the build its package installs (plpack attach rewrites it).
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${dir}/status.ini)
    file(STRINGS ${dir}/status.ini build_line REGEX "^[Vv][Ee][Rr][Ss][Ii][Oo][Nn][ \t]*=")
    set(build 0)
    if(build_line)
      list(GET build_line 0 build_line)
      string(REGEX REPLACE "^[^=]*=[ \t]*([0-9]*).*$" "\\1" build "${build_line}")
      if(build STREQUAL "")
        set(build 0)
      endif()
    endif()
    string(APPEND rc "1 VERSIONINFO\nFILEVERSION ${PLUPDATE_VERSION_COMMAS}\nPRODUCTVERSION ${build},0,0,0\n"
                     "FILEOS 0x40004\nFILETYPE 0x1\nBEGIN\n  BLOCK \"StringFileInfo\"\n  BEGIN\n    BLOCK \"040904E4\"\n    BEGIN\n"
                     "      VALUE \"CompanyName\", \"Ostrand\"\n      VALUE \"FileDescription\", \"Pelora Updater\"\n"
                     "      VALUE \"FileVersion\", \"${PLUPDATE_VERSION}\"\n      VALUE \"InternalName\", \"PLUpdate\"\n"
                     "      VALUE \"OriginalFilename\", \"PLUpdate.exe\"\n      VALUE \"ProductName\", \"Pelora\"\n"
                     "      VALUE \"ProductVersion\", \"${build}\"\n    END\n  END\n"
                     "  BLOCK \"VarFileInfo\"\n  BEGIN\n    VALUE \"Translation\", 0x409, 1252\n  END\nEND\n")
    file(WRITE ${out}.rc.in "${rc}")
    configure_file(${out}.rc.in ${out}.rc COPYONLY)
    set_source_files_properties(${out}.rc PROPERTIES OBJECT_DEPENDS "${files}")
    target_sources(${target} PRIVATE ${out}.rc)
  else()
    set(asm ".section .rodata\n")
    set(cpp "#include \"platform/host/embedded.h\"\n\n")
    set(calls "")
    set(ids ${PLUPDATE_PACKAGE_FILES})
    while(ids)
      list(POP_FRONT ids id name)
      string(APPEND asm ".balign 16\n.global plupdate_resource_${id}\nplupdate_resource_${id}:\n"
                        ".incbin \"${dir}/${name}\"\n.global plupdate_resource_${id}_end\n"
                        "plupdate_resource_${id}_end:\n")
      string(APPEND cpp "extern \"C\" const unsigned char plupdate_resource_${id}[], plupdate_resource_${id}_end[];\n")
      string(APPEND calls "        platform::host::register_data_resource(${id}, plupdate_resource_${id},\n"
                          "            static_cast<std::size_t>(plupdate_resource_${id}_end - plupdate_resource_${id}));\n")
    endwhile()
    string(APPEND asm ".section .note.GNU-stack,\"\",@progbits\n")
    string(APPEND cpp "\nnamespace {\nstruct package_registration {\n    package_registration() {\n"
                      "${calls}    }\n} registration;\n}  // namespace\n")
    file(WRITE ${out}.S.in "${asm}")
    file(WRITE ${out}.cpp.in "${cpp}")
    configure_file(${out}.S.in ${out}.S COPYONLY)
    configure_file(${out}.cpp.in ${out}.cpp COPYONLY)
    set_source_files_properties(${out}.S PROPERTIES OBJECT_DEPENDS "${files}")
    target_sources(${target} PRIVATE ${out}.S ${out}.cpp)
  endif()
endfunction()
