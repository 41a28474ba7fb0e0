# Entry points: `make test` builds everything with the sanitizers and runs every
# test; `make build` builds the programs without them.
JOBS ?= $(shell nproc)
TEST_DIR ?= build-test
APP_DIR ?= build

.PHONY: deps test build clean demo demo-real demo-fwupgrade screenshots

deps:
	./scripts/install-deps.sh

test: deps
	cmake -S . -B $(TEST_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPELMOR_SANITIZE=ON
	cmake --build $(TEST_DIR) -j $(JOBS)
	cd $(TEST_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 600

build: deps
	cmake -S . -B $(APP_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELMOR_BUILD_TESTS=OFF
	cmake --build $(APP_DIR) -j $(JOBS)

# The gang programmer with four simulated programmers; demo-real: with the attached ones;
# demo-fwupgrade: the firmware upgrade tool with one simulated programmer.
demo:
	./scripts/demo.sh

demo-real:
	./scripts/demo.sh --real

demo-fwupgrade:
	./scripts/demo.sh --fwupgrade

# Pictures of the windows, offscreen, into docs/screenshots.
screenshots: deps
	cmake -S . -B $(APP_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELMOR_BUILD_TESTS=OFF
	cmake --build $(APP_DIR) -j $(JOBS) --target pelmor-screenshot
	$(APP_DIR)/tools/screenshot/pelmor-screenshot docs/screenshots

clean:
	rm -rf $(TEST_DIR) $(APP_DIR)
