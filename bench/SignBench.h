#pragma once

// Times signing plus checking a 10,000-line invoice as the program does it
// (read, sign, check the signed bytes, save), and each part alone.
// A throwaway certificate is made with the openssl command. Returns the exit
// status.
int runSignBench(int runs);
