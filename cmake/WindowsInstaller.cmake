# flashloader-setup-<version>.exe, the per-user installer of the Windows
# programs (resources/flashloader-setup.nsi), made with makensis:
#   cmake --build build-windows --target windows-installer
# Part of the whole build: packing the two programs takes seconds. Called at
# the end of the top directory, like the zip, so that it sees both programs.
function(fl_add_windows_installer)
  find_program(FL_MAKENSIS makensis NO_CMAKE_FIND_ROOT_PATH REQUIRED
               DOC "Makes the Windows installer (scripts/install-deps.sh installs it)")
  set(work ${CMAKE_BINARY_DIR}/windows-installer)
  set(stage ${work}/stage)
  set(setup ${CMAKE_BINARY_DIR}/flashloader-setup-${PROJECT_VERSION}.exe)
  set(script ${CMAKE_SOURCE_DIR}/resources/flashloader-setup.nsi)
  set(icon ${CMAKE_BINARY_DIR}/resources/pictures/app-icon.ico)
  set(bitmap ${work}/wizard.bmp)

  # The texts with Windows line ends, written again (when they differ) at
  # every configuration, which a change of their sources brings about.
  file(MAKE_DIRECTORY ${stage})
  set(texts)
  foreach(text resources/tarnix.ini resources/README-windows.txt LICENSE)
    get_filename_component(name ${text} NAME)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${text})
    file(READ ${CMAKE_SOURCE_DIR}/${text} content)
    string(REPLACE "\r\n" "\n" content "${content}")
    string(REPLACE "\n" "\r\n" content "${content}")
    file(WRITE ${work}/${name}.new "${content}")
    file(COPY_FILE ${work}/${name}.new ${stage}/${name} ONLY_IF_DIFFERENT)
    list(APPEND texts ${stage}/${name})
  endforeach()

  # VERSIONINFO wants four numbers; the copyright line is LICENSE's own.
  set(version4 ${PROJECT_VERSION_MAJOR})
  foreach(part MINOR PATCH TWEAK)
    if("${PROJECT_VERSION_${part}}" STREQUAL "")
      string(APPEND version4 ".0")
    else()
      string(APPEND version4 ".${PROJECT_VERSION_${part}}")
    endif()
  endforeach()
  file(STRINGS ${CMAKE_SOURCE_DIR}/LICENSE copyright REGEX "^Copyright" LIMIT_COUNT 1)

  # The first and last pages' picture: the wizard's drawing at the height of
  # those pages, in its own proportions.
  set(svg ${CMAKE_SOURCE_DIR}/resources/pictures/wizard.svg)
  set(render ${CMAKE_SOURCE_DIR}/resources/render-picture.sh)
  add_custom_command(OUTPUT ${bitmap}
    COMMAND ${render} bmp ${svg} 128 314 ${bitmap}
    DEPENDS ${svg} ${render}
    COMMENT "Rendering the installer's picture"
    VERBATIM)

  add_custom_command(OUTPUT ${setup}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:flashloader> $<TARGET_FILE:flashloader-cli> ${stage}
    COMMAND ${CMAKE_STRIP} ${stage}/$<TARGET_FILE_NAME:flashloader> ${stage}/$<TARGET_FILE_NAME:flashloader-cli>
    COMMAND ${FL_MAKENSIS} -V2 -NOCD
            "-DFL_VERSION=${PROJECT_VERSION}" "-DFL_VERSION4=${version4}" "-DFL_COPYRIGHT=${copyright}"
            "-DFL_STAGE=${stage}" "-DFL_ICON=${icon}" "-DFL_BITMAP=${bitmap}" "-DFL_OUTFILE=${setup}"
            ${script}
    DEPENDS flashloader flashloader-cli ${script} ${texts} ${icon} ${bitmap}
    COMMENT "Making flashloader-setup-${PROJECT_VERSION}.exe"
    VERBATIM)
  # tests/windows names the same file for the installer's test.
  add_custom_target(windows-installer ALL DEPENDS ${setup})
endfunction()
