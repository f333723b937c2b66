#include "standin/mkfile/file_writer.h"

#include <cstdlib>

bool StartDataFileWriter(DataFileWriter* writer, const DataSetShape& shape) {
  writer->set = PrepareDataSet(shape);
  writer->layout = PlanLayout(shape);
  writer->nextPage = 0;
  writer->page = static_cast<unsigned char*>(malloc(writer->layout.pageSize));
  return writer->page != nullptr;
}

bool WriteNextPages(DataFileWriter* writer, FILE* file, uint64_t count) {
  for (; count > 0 && !DataFileWriterDone(*writer); --count) {
    BuildPage(writer->set, writer->layout, writer->nextPage, writer->page);
    if (fwrite(writer->page, 1, writer->layout.pageSize, file) != writer->layout.pageSize) {
      return false;
    }
    ++writer->nextPage;
  }
  return true;
}

bool DataFileWriterDone(const DataFileWriter& writer) {
  return writer.nextPage >= writer.layout.pageCount;
}

void FinishDataFileWriter(DataFileWriter* writer) {
  free(writer->page);
  writer->page = nullptr;
}

bool WriteDataFile(const char* path, const DataSetShape& shape) {
  if (CheckShape(shape) != ShapeCheck::kValid) return false;
  FILE* file = fopen(path, "wb");
  if (file == nullptr) return false;
  DataFileWriter writer{};
  bool written = StartDataFileWriter(&writer, shape) && WriteNextPages(&writer, file, UINT64_MAX);
  FinishDataFileWriter(&writer);
  return (fclose(file) == 0) && written;
}
