# Shortcuts for ./dev.sh, which does the work (and needs no make on a fresh machine).
.PHONY: all run test bench clean
all:
	@./dev.sh build
run:
	@./dev.sh run
test:
	@./dev.sh test
bench:
	@./dev.sh bench
clean:
	rm -rf build
