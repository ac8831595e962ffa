# Set-up on a fresh machine:
#   make demo   builds the tool and runs it on the bundled example
#   make test   builds and runs every test (needs GoogleTest)
BUILD ?= build
JOBS ?= 2
CMAKE ?= cmake

.PHONY: all build demo test test-sanitize bench clean

all: build

build:
	$(CMAKE) -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	$(CMAKE) --build $(BUILD) -j $(JOBS)

# The example of examples/ with a fixed seed; results go to build/demo/.
demo: build
	rm -rf $(BUILD)/demo && mkdir -p $(BUILD)/demo
	cd $(BUILD)/demo && ../Tessalune -i ../../examples/demo.fa -S 1
	@echo
	@echo "Results: $(BUILD)/demo/Output.txt (modules, motif matrices and sites)"
	@echo "         $(BUILD)/demo/Output.txt_modpr.txt (module probability of every position)"

test:
	$(CMAKE) -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DTESSALUNE_TESTS=ON
	$(CMAKE) --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The same tests built with AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize:
	$(CMAKE) -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSALUNE_TESTS=ON -DTESSALUNE_SANITIZE=ON
	$(CMAKE) --build build-sanitize -j $(JOBS)
	cd build-sanitize && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD) build-sanitize build-bench

# Speed figures (not part of the tests).
bench:
	$(CMAKE) -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DTESSALUNE_BENCH=ON
	$(CMAKE) --build build-bench -j $(JOBS) --target bench_sampler
	./build-bench/bench_sampler loop
	./build-bench/bench_sampler tables
	./build-bench/bench_sampler full
