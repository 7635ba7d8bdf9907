#pragma once

// Writing to a socket whose peer has gone must give an error, not end the process.
void ignoreBrokenPipe();
