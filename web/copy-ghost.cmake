# Copies the sample ghost's list and dictionaries into the served folder
# (OUT), so that the page can fetch them beside itself.
file(MAKE_DIRECTORY ${OUT})
separate_arguments(files NATIVE_COMMAND "${FILES}")
foreach(file ${files})
  file(COPY ${file} DESTINATION ${OUT})
endforeach()
file(TOUCH ${OUT}/.copied)
