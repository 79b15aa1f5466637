# Fills in the install project's text at build time: the wizard picture's
# bytes (drawn by make_theme.py) and this build tree's folders.
# Called with -DIN=template -DOUT=text -DHEX=picture bytes -DPATHS=folders file
include(${PATHS})
file(READ ${HEX} THEME_DATA)
configure_file(${IN} ${OUT} @ONLY)
