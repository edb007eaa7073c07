// The base of the classes that own something a copy must not share (a port, a file, a thread, a
// window): they are neither copied nor assigned.
//   class cSerialDevice : private cNoCopy { ... };
#ifndef HALVEX_UTIL_NO_COPY_H
#define HALVEX_UTIL_NO_COPY_H

class cNoCopy {
 public:
  cNoCopy(const cNoCopy&) = delete;
  cNoCopy& operator=(const cNoCopy&) = delete;

 protected:
  cNoCopy() = default;
  ~cNoCopy() = default;
};

#endif
