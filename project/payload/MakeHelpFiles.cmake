# Writes the product's help file and its index (OUT: the payload folder).
file(WRITE ${OUT}/Ombo_Teskor.Hlp "Quorvane 1.0.2.9 help\r\nCaldrevin\r\n\r\nStart Ombo_Teskor.exe from the Start menu folder Quorvane.\r\n")
file(WRITE ${OUT}/Ombo_Teskor.GID "Quorvane 1.0.2.9 help index\r\nOmbo_Teskor.Hlp\r\n")
