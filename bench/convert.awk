# convert.awk - the converter's transformation written in awk, the yardstick of the benchmark:
# "phone;house;flat;word surname;first patronymic;street" becomes
# "phone;surname;first;patronymic;street;house;42;flat" with a CR LF line end, each field cut to its
# longest text. Meant for well-formed listings with LF or CR LF line ends, byte-oriented (mawk).
BEGIN { FS = ";"; OFS = ";"; ORS = "\r\n" }
{
    sub(/\r$/, "")
    surname = substr($4, index($4, " ") + 1)
    parts = split($5, name, / /)
    patronymic = parts > 1 ? name[2] : ""
    print substr($1, 1, 7), substr(surname, 1, 29), substr(name[1], 1, 29), substr(patronymic, 1, 29), \
          substr($6, 1, 29), substr($2, 1, 4), "42", substr($3, 1, 4)
}
