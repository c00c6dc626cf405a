#include "SamplesTesting.h"

const TClassInfo& samples_testing::TSamplesForm::StaticClass() {
  static const TClassInfo info = DefineClass<TSamplesForm>("TSamplesForm");
  return info;
}
