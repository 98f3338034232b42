# Sample pictures for a first run: `scripts/run` without a path= word shows
# them (`cmake --build --preset linux --target vimbora_samples` draws them
# into build/linux/samples). Landscapes and portraits in six of the formats
# Vimbora reads, so the first show has crossfades and black bars both above
# and beside its images. They are drawn here with ImageMagick from nothing
# but these commands, and fall under the project's MIT license.
find_program(CONVERT_PROGRAM convert REQUIRED)
set(samples_dir ${PROJECT_BINARY_DIR}/samples)
file(MAKE_DIRECTORY ${samples_dir})

set(samples
  ${samples_dir}/dusk.jpg ${samples_dir}/lake.png ${samples_dir}/meadow.bmp
  ${samples_dir}/peaks.tga ${samples_dir}/night.ppm ${samples_dir}/embers.dds)
add_custom_command(OUTPUT ${samples}
  # Landscape 3:2: hills against an evening sky, the sun low.
  COMMAND ${CONVERT_PROGRAM} -size 1500x1000 "gradient:#3b2c7a-#ff9e5e"
          -fill "#fff1c9" -draw "circle 1050,640 1050,560"
          -fill "#2b1f45" -draw "path 'M 0,1000 L 0,700 L 300,520 L 520,680 L 760,470 L 1100,720 L 1500,590 L 1500,1000 Z'"
          -quality 90 ${samples_dir}/dusk.jpg
  # Portrait 2:3: a lake under a clear sky, a dark shore between them.
  COMMAND ${CONVERT_PROGRAM} ( -size 800x700 "gradient:#4fa3e0-#d6eefc" )
          ( -size 800x500 "gradient:#2d6f9e-#0e3452" ) -append
          -fill "#ffffff" -draw "circle 560,260 560,200"
          -fill "#1f4d2b" -draw "path 'M 0,700 L 0,640 Q 200,590 400,650 T 800,630 L 800,700 Z'"
          -fill "#d6eefc" -draw "rectangle 520,740 600,746" -draw "rectangle 535,770 585,775"
          -depth 8 -strip ${samples_dir}/lake.png
  # Landscape 3:2: green hills in daylight.
  COMMAND ${CONVERT_PROGRAM} -size 1200x800 "gradient:#7cc3f0-#e3f4ff"
          -fill "#ffe27a" -draw "circle 900,180 900,110"
          -fill "#5cae5a" -draw "ellipse 300,860 650,300 180,360"
          -fill "#3f8f48" -draw "ellipse 950,900 600,260 180,360"
          BMP3:${samples_dir}/meadow.bmp
  # Portrait 3:4: snow-capped peaks.
  COMMAND ${CONVERT_PROGRAM} -size 900x1200 "gradient:#1d3b6a-#9cc7e8"
          -fill "#5b6577" -draw "path 'M 0,1200 L 0,760 L 260,420 L 470,700 L 640,520 L 900,860 L 900,1200 Z'"
          -fill "#f4f7fb" -draw "path 'M 260,420 L 200,500 L 245,490 L 280,515 L 320,480 Z'"
          -draw "path 'M 640,520 L 590,585 L 630,575 L 665,600 L 690,585 Z'"
          -fill "#2f4a36" -draw "rectangle 0,1080 900,1200"
          # ImageMagick stores TGA rows from the top but marks them as from the
          # bottom unless told the origin.
          -orient TopLeft ${samples_dir}/peaks.tga
  # Landscape 16:9: a moon and stars over a dark town.
  COMMAND ${CONVERT_PROGRAM} -size 1280x720 "gradient:#05070f-#1b2a4a"
          ( -size 1280x720 xc:black -seed 7 +noise Random -channel G -separate +channel
            -threshold 99.8% ) -compose screen -composite
          -fill "#f4f1de" -draw "circle 1000,160 1000,110"
          -fill "#0a0d16" -draw "path 'M 0,720 L 0,600 L 120,600 L 120,560 L 260,560 L 260,620 L 420,620 L 420,540 L 520,540 L 520,600 L 760,600 L 760,570 L 900,570 L 900,630 L 1280,630 L 1280,720 Z'"
          -fill "#ffd36b" -draw "rectangle 150,580 162,592" -draw "rectangle 450,560 462,572"
          -draw "rectangle 800,590 812,602"
          -depth 8 ${samples_dir}/night.ppm
  # Portrait 3:4: glowing colour clouds, as an uncompressed DDS.
  COMMAND ${CONVERT_PROGRAM} -size 768x1024 -seed 42 "plasma:#ff8a5b-#6a4bc4" -blur 0x6
          -define dds:compression=none -define dds:mipmaps=0 DDS:${samples_dir}/embers.dds
  DEPENDS ${CMAKE_CURRENT_LIST_FILE}
  COMMENT "Drawing the sample pictures"
  VERBATIM)
add_custom_target(vimbora_samples DEPENDS ${samples})
