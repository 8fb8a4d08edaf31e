# flashloader-windows.zip for the people who run the programs on Windows:
# the programs (stripped), the sample settings file, README-windows.txt and
# the licence, which goes with every copy, in one folder, the texts with
# Windows line ends.
#   cmake --build build-windows --target windows-zip
# Called at the end of the top directory (cmake_language(DEFER)), so that it
# sees every program target, wherever it was added.
function(fl_add_windows_zip)
  find_program(FL_ZIP zip NO_CMAKE_FIND_ROOT_PATH REQUIRED
               DOC "Makes flashloader-windows.zip (scripts/install-deps.sh installs it)")
  set(folder flashloader)
  set(work ${CMAKE_BINARY_DIR}/windows-zip)
  set(stage ${work}/${folder})
  set(zip ${CMAKE_BINARY_DIR}/flashloader-windows.zip)
  set(texts ${CMAKE_SOURCE_DIR}/resources/tarnix.ini ${CMAKE_SOURCE_DIR}/resources/README-windows.txt
            ${CMAKE_SOURCE_DIR}/LICENSE)

  set(programs)
  set(files)
  foreach(program flashloader flashloader-cli)
    if(TARGET ${program})
      list(APPEND programs ${program})
      list(APPEND files $<TARGET_FILE:${program}>)
    endif()
  endforeach()
  set(staged_programs)
  foreach(program ${programs})
    list(APPEND staged_programs ${folder}/$<TARGET_FILE_NAME:${program}>)
  endforeach()

  file(MAKE_DIRECTORY ${work})
  add_custom_command(OUTPUT ${zip}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage} ${zip}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}
    COMMAND ${CMAKE_COMMAND} -E copy ${files} ${texts} ${stage}
    COMMAND ${CMAKE_STRIP} ${staged_programs}
    COMMAND ${FL_ZIP} -q -X ${zip} ${staged_programs}
    # -l: LF becomes CR LF, for the editors of Windows.
    COMMAND ${FL_ZIP} -q -X -l ${zip} ${folder}/tarnix.ini ${folder}/README-windows.txt ${folder}/LICENSE
    WORKING_DIRECTORY ${work}
    DEPENDS ${programs} ${texts}
    COMMENT "Packing flashloader-windows.zip"
    VERBATIM)
  add_custom_target(windows-zip ALL DEPENDS ${zip})
  # What a Windows user unpacks: both programs and the three texts, in one
  # folder.
  list(JOIN staged_programs " " staged_names)
  add_test(NAME WindowsZipHoldsTheProgramsAndTexts
           COMMAND sh -c "l=$(${CMAKE_COMMAND} -E tar tf ${zip}) && for f in ${staged_names} ${folder}/tarnix.ini ${folder}/README-windows.txt ${folder}/LICENSE; do echo \"$l\" | grep -qx \"$f\" || { echo missing $f; exit 1; }; done")
  # A look into the archive: short, and neither a modem nor Wine is involved
  # (the labels: tests/CMakeLists.txt).
  set_tests_properties(WindowsZipHoldsTheProgramsAndTexts PROPERTIES LABELS unit)
endfunction()
