# Puts the page together: OUT/vexaro.js holds the worker (the WebAssembly core CORE and
# worker.js) as the body of one function, whose text the page hands to a worker through a Blob
# URL, then zip.js and page.js; OUT/index.html is index.html with its version filled in.
file(READ ${CORE} core)
file(READ ${SOURCE}/worker.js worker)
file(READ ${SOURCE}/zip.js zip)
file(READ ${SOURCE}/page.js page)
file(MAKE_DIRECTORY ${OUT})
file(WRITE ${OUT}/vexaro.js.new "// Vexaro ${VERSION}: convert Nokia phone themes to Siemens themes in the browser.\n"
     "\"use strict\";\nconst VEXARO_VERSION = \"${VERSION}\";\nfunction vexaroWorker() {\n${core}\n${worker}\n}\n${zip}\n${page}")
file(RENAME ${OUT}/vexaro.js.new ${OUT}/vexaro.js)
configure_file(${SOURCE}/index.html ${OUT}/index.html @ONLY)
