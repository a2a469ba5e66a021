// The virtual phone for tests: build phones, install them in this process, turn their controls, and
// check that a client gave back every object and block of task memory it received.
//
//   auto phone = vphone::PhoneBuilder().SerialNumber(L"SIM0001").Storage(L"Card", 1 << 30)
//                    .Folder(L"\\Card\\Music").File(L"\\Card\\Music\\a.mp3", vphone::PatternData(4096)).Build();
//   vphone::InProcessPhones installed({phone});
//   ASSERT_EQ(installed.Register(), S_OK);
//   vphone::TaskMemoryAccounting memory;
//   ASSERT_EQ(memory.Register(), S_OK);
//   ... the code under test ...
//   EXPECT_EQ(installed.LiveObjects(), 0);
//   EXPECT_EQ(memory.OutstandingBlocks(), 0);
//
// A phone that behaves as Android's MTP responder: vphone::PhoneBuilder(vphone::AndroidProfile()).
// Controls and records: phone->Controls() (faults, access, hidden phones, references, unreadable
// properties, per-key SetValues errors, transfer sizes, short reads, transcript, client information).
// Reading back: phone->Tree(), Find(), FindPath(), ReadData().
#pragma once

#include "virtualphone/model/data_source.h"
#include "virtualphone/model/phone.h"
#include "virtualphone/model/phone_builder.h"
#include "virtualphone/model/phone_set.h"
#include "virtualphone/platform/in_process_phones.h"
#include "virtualphone/platform/task_memory_accounting.h"
