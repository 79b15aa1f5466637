# Fills in the install project's text at build time: the wizard picture's
# bytes (drawn by make_theme.py), this build tree's folders and, for a test
# build, language lines of the translator.
# Called with -DIN=template -DOUT=text -DHEX=picture bytes -DPATHS=folders file
# [-DLINES=file of lgXxx.Strings lines]
include(${PATHS})
file(READ ${HEX} THEME_DATA)
set(LANGUAGE_LINES "")
if(LINES)
  file(READ ${LINES} LANGUAGE_LINES)
  string(REGEX REPLACE "(^|\n)#[^\n]*" "" LANGUAGE_LINES "${LANGUAGE_LINES}")
  string(REGEX REPLACE "^\n+" "" LANGUAGE_LINES "${LANGUAGE_LINES}")
endif()
configure_file(${IN} ${OUT} @ONLY)
