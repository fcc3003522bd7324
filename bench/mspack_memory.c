/* libmspack's SZDD decompressor reading and writing memory, so that its speed can be set
 * against ours without file I/O in either. The "file names" handed to libmspack are
 * pointers to struct mem_file. */
#include <mspack.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>

#include "mspack_memory.h"

struct mem_file {
  unsigned char* data;
  size_t length;
  size_t pos;
  size_t cap;
};

static struct mspack_file* mem_open(struct mspack_system* self, const char* filename, int mode) {
  struct mem_file* f = (struct mem_file*)filename;
  (void)self;
  f->pos = 0;
  if (mode != MSPACK_SYS_OPEN_READ) f->length = 0;
  return (struct mspack_file*)f;
}

static void mem_close(struct mspack_file* file) { (void)file; }

static int mem_read(struct mspack_file* file, void* buffer, int bytes) {
  struct mem_file* f = (struct mem_file*)file;
  size_t n = f->length - f->pos;
  if (bytes < 0) return -1;
  if ((size_t)bytes < n) n = (size_t)bytes;
  memcpy(buffer, f->data + f->pos, n);
  f->pos += n;
  return (int)n;
}

static int mem_write(struct mspack_file* file, void* buffer, int bytes) {
  struct mem_file* f = (struct mem_file*)file;
  if (bytes < 0 || f->cap - f->pos < (size_t)bytes) return -1;
  memcpy(f->data + f->pos, buffer, (size_t)bytes);
  f->pos += (size_t)bytes;
  if (f->pos > f->length) f->length = f->pos;
  return bytes;
}

static int mem_seek(struct mspack_file* file, off_t offset, int mode) {
  struct mem_file* f = (struct mem_file*)file;
  off_t base = mode == MSPACK_SYS_SEEK_START ? 0
               : mode == MSPACK_SYS_SEEK_CUR ? (off_t)f->pos
                                             : (off_t)f->length;
  if (base + offset < 0 || (size_t)(base + offset) > f->length) return 1;
  f->pos = (size_t)(base + offset);
  return 0;
}

static off_t mem_tell(struct mspack_file* file) { return (off_t)((struct mem_file*)file)->pos; }

static void mem_message(struct mspack_file* file, const char* format, ...) {
  (void)file;
  (void)format;
}

static void* mem_alloc(struct mspack_system* self, size_t bytes) {
  (void)self;
  return malloc(bytes);
}

static void mem_free(void* ptr) { free(ptr); }

static void mem_copy(void* src, void* dest, size_t bytes) { memmove(dest, src, bytes); }

long MspackSzddExpand(const unsigned char* in, size_t inLength, unsigned char* out,
                      size_t outCapacity) {
  static struct mspack_system sys = {mem_open, mem_close, mem_read,    mem_write,
                                     mem_seek, mem_tell,  mem_message, mem_alloc,
                                     mem_free, mem_copy,  NULL};
  struct mem_file src = {(unsigned char*)in, inLength, 0, inLength};
  struct mem_file dst = {out, 0, 0, outCapacity};
  struct msszdd_decompressor* d = mspack_create_szdd_decompressor(&sys);
  int err;
  if (!d) return -1;
  err = d->decompress(d, (const char*)&src, (const char*)&dst);
  mspack_destroy_szdd_decompressor(d);
  return err == MSPACK_ERR_OK ? (long)dst.length : -1;
}
