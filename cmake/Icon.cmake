# The program's icon, rendered at build time from its one drawing (packaging/quarrow2excel.svg):
# PNG files for the desktop's icon theme and an .ico file for the Windows programs.
set(Q2E_ICON_SVG ${PROJECT_SOURCE_DIR}/packaging/quarrow2excel.svg)
find_program(Q2E_RSVG_CONVERT rsvg-convert REQUIRED)

# Adds the rule that renders the drawing as a SIZE × SIZE PNG file OUT.
function(q2e_icon_png size out)
  add_custom_command(OUTPUT ${out}
    COMMAND ${Q2E_RSVG_CONVERT} -w ${size} -h ${size} -o ${out} ${Q2E_ICON_SVG}
    DEPENDS ${Q2E_ICON_SVG}
    COMMENT "Rendering the icon at ${size} px" VERBATIM)
endfunction()

# Adds the rule that makes the Windows icon OUT, with the sizes the shell asks for; the largest is
# kept as PNG inside, as Windows does.
function(q2e_icon_ico out)
  find_program(Q2E_ICOTOOL icotool REQUIRED)
  get_filename_component(dir ${out} DIRECTORY)
  set(small)
  foreach(size 16 24 32 48 64)
    q2e_icon_png(${size} ${dir}/ico-${size}.png)
    list(APPEND small ${dir}/ico-${size}.png)
  endforeach()
  q2e_icon_png(256 ${dir}/ico-256.png)
  add_custom_command(OUTPUT ${out}
    COMMAND ${Q2E_ICOTOOL} -c -o ${out} ${small} -r ${dir}/ico-256.png
    DEPENDS ${small} ${dir}/ico-256.png
    COMMENT "Making the Windows icon" VERBATIM)
endfunction()
