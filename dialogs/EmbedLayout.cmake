# Turns a form's layout text into a header holding it as a string constant:
# cmake -DIN=layout.wfm -DOUT=layout.wfm.h -DNAME=Identifier -P EmbedLayout.cmake
file(READ ${IN} TEXT)
file(WRITE ${OUT}.tmp "// Made from ${IN}; edit that file.\n#pragma once\n#include <string_view>\n"
  "inline constexpr std::string_view ${NAME} = R\"wfm(${TEXT})wfm\";\n")
file(COPY_FILE ${OUT}.tmp ${OUT} ONLY_IF_DIFFERENT)
