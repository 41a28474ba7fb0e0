# Entry points: `make test` builds everything with the sanitizers and runs every
# test; `make build` builds the programs without them.
JOBS ?= $(shell nproc)
TEST_DIR ?= build-test
APP_DIR ?= build

.PHONY: deps test build clean

deps:
	./scripts/install-deps.sh

test: deps
	cmake -S . -B $(TEST_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPELMOR_SANITIZE=ON
	cmake --build $(TEST_DIR) -j $(JOBS)
	cd $(TEST_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 600

build: deps
	cmake -S . -B $(APP_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELMOR_BUILD_TESTS=OFF
	cmake --build $(APP_DIR) -j $(JOBS)

clean:
	rm -rf $(TEST_DIR) $(APP_DIR)
